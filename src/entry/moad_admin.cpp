// Operations of the administration program `mo_aux`. The password never leaves this process in
// clear: it is read from standard input, hashed, and wiped; only its crypt text is written.
#include "entry/moad_admin.h"
#include "apps/mocr_crypt.h"
#include "apps/moap_passwd.h"
#include "daemon/mod_daemon_cmn.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "entry/mog_gen.h"
#include "entry/mox_aux.h"
#include "platform/mocl_cleanup.h"
#include "platform/mos_signal_cmn.h"
#include "platform/mou_util_cmn.h"
#include "storage/mok_key.h"
#include "storage/mot_top.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/moux_unix_private.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <openssl/crypto.h>
#include <string>

namespace {

const char usage[] = "Usage: mo_aux set_admin_password HOME\n"
                     "       mo_aux undelete_admin_user HOME USERDIR PLATFORM\n";

// TRUE when the line's first word (after blanks) is exactly the keyword.
bool is_key_line(const std::string &line, const char *key) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line.compare(i, strlen(key), key) != 0)
        return false;
    size_t end = i + strlen(key);
    return end == line.size() || line[end] == ' ' || line[end] == '\t' || line[end] == '\r' ||
           line[end] == '\n';
}

int load_setup(MOX_AUX_T *aux, const char *home) noexcept {
    MOST_SETUP_T *setup = aux->setup;
    int ret = setup->init_paths(setup, home);
    if (ret == 0)
        ret = setup->load_setup_file(setup, aux);
    if (ret == 0 && (setup->user_path == nullptr || setup->user_path[0] == '\0')) {
        aux->error->report(aux->error, "USER_PATH is not set in %s\n", setup->setup_file);
        ret = 1;
    }
    if (ret == 0) {
        mo_filename_t dir;
        ret = mof_file_build_path(aux->error, dir, "%s", setup->user_setup_file);
        if (ret == 0)
            ret = aux->file->get_dirname(aux->file, dir);
        mo_boolean_t is_dir = FALSE;
        if (ret == 0 && (!aux->file->exists(aux->file, dir) ||
                         aux->file->is_dir(aux->file, dir, &is_dir) != 0 || !is_dir)) {
            aux->error->report(aux->error, "Directory %s does not exist\n", dir);
            ret = 1;
        }
    }
    return ret;
}

} // namespace

int moad_write_admin_passwd(MOX_AUX_T *aux, const char *path, const char *crypt_text) noexcept {
    if (crypt_text == nullptr || strpbrk(crypt_text, "\r\n") != nullptr) {
        aux->error->report(aux->error, "A password hash must be one line\n");
        return 1;
    }
    try {
        std::string old;
        if (aux->file->exists(aux->file, path)) {
            char *buf = nullptr;
            size_t count = 0;
            int ret = mof_file_mem_read(aux->file, path, nullptr, &buf, &count);
            if (ret != 0)
                return ret;
            old.assign(buf, count);
            mof_file_mem_free(aux->file, buf, nullptr);
        }
        std::string line = std::string(MOAD_ADMIN_KEY) + " " + crypt_text + "\n";
        std::string text;
        bool placed = false;
        size_t pos = 0;
        while (pos < old.size()) {
            size_t nl = old.find('\n', pos);
            size_t end = nl == std::string::npos ? old.size() : nl + 1;
            std::string cur = old.substr(pos, end - pos);
            if (is_key_line(cur, MOAD_ADMIN_KEY)) {
                // The first such line takes the new value; later ones would override it, so they go.
                if (!placed)
                    text += line;
                placed = true;
            } else {
                text += cur;
                if (nl == std::string::npos)
                    text += "\n";
            }
            pos = end;
        }
        if (!placed)
            text += line;
        int ret = moux_private_replace(aux->error, path, text.data(), text.size());
        OPENSSL_cleanse(text.data(), text.size());
        return ret;
    } catch (...) {
        aux->error->report(aux->error, "Out of memory\n");
        return 1;
    }
}

int moad_set_admin_password(MOX_AUX_T *aux, const char *home) noexcept {
    MOE_ERROR_T *error = aux->error;
    int ret = load_setup(aux, home);
    if (ret != 0)
        return ret;
    char first[MOCR_MAX_PASSWD_LEN + 1];
    char second[MOCR_MAX_PASSWD_LEN + 1];
    char hash[MOCR_HASH_SIZE];
    mo_boolean_t terminal = FALSE;
    second[0] = '\0';
    ret = moux_private_read_line(error, "New password for admin: ", first, sizeof(first), &terminal);
    if (ret == 0 && terminal) {
        ret = moux_private_read_line(error, "Type it again: ", second, sizeof(second), &terminal);
        if (ret == 0 && strcmp(first, second) != 0) {
            error->report(error, "The two passwords are not the same; nothing changed\n");
            ret = 1;
        }
    }
    if (ret == 0 && strlen(first) < MOAD_MIN_PASSWD_LEN) {
        error->report(error, "The password must have at least %d characters\n", MOAD_MIN_PASSWD_LEN);
        ret = 1;
    }
    if (ret == 0)
        ret = mocr_crypt_new_passwd(error, first, hash, sizeof(hash));
    OPENSSL_cleanse(first, sizeof(first));
    OPENSSL_cleanse(second, sizeof(second));
    if (ret == 0)
        ret = moad_write_admin_passwd(aux, aux->setup->user_setup_file, hash);
    if (ret == 0)
        printf("The password of the initial administrator \"admin\" is set in %s.\n"
               "Processes started from now on use it: restart the web server (install/bin/mo_stop, "
               "then mo_start).\n",
               aux->setup->user_setup_file);
    return ret;
}

namespace {

// The restore tool quotes each directory with a blank before the closing quote: the blanks go.
int trimmed_dir(MOE_ERROR_T *error, const char *given, char *out) noexcept {
    int ret = mof_file_build_path(error, out, "%s", given);
    if (ret != 0)
        return ret;
    size_t len = strlen(out);
    while (len > 1 && (out[len - 1] == ' ' || out[len - 1] == '\t'))
        out[--len] = '\0';
    return 0;
}

// Without a daemon nobody else writes the user file: it is read and written through the keyword
// reader directly, by temporary file and rename.
int undelete_in_file(MOX_AUX_T *aux, MOT_TOP_STYPE_T *passwd, mo_boolean_t *changed,
                     mo_boolean_t *found) noexcept {
    MOK_GEN_KEYWORD_T *keywords = nullptr;
    MOK_DATA_RECORD_T *first = nullptr;
    mo_filename_t path, tmp;
    *changed = *found = FALSE;
    int ret = mof_file_build_path(aux->error, path, "%s/passwd/0", aux->setup->lib_dir);
    if (ret == 0)
        ret = mof_file_build_path(aux->error, tmp, "%s.tmp", path);
    if (ret == 0)
        ret = passwd->get_keyword_array(passwd, &keywords);
    if (ret != 0 || !aux->file->exists(aux->file, path))
        return ret;
    ret = mok_read_keyword_list(aux, nullptr, path, keywords, passwd->number_of_keywords, &first,
                                static_cast<size_t>(passwd->size_of_element));
    for (MOK_DATA_RECORD_T *r = first; ret == 0 && r != nullptr; r = r->next) {
        auto *u = static_cast<MOAP_PASSWD_T *>(r->container);
        if (u->sys_id == MOAP_PASSWD_SYS_ADMIN) {
            *found = TRUE;
            if (u->delete_status != 0) {
                u->delete_status = 0;
                *changed = TRUE;
            }
        }
    }
    if (ret != 0 || !*changed)
        return ret;
    ret = aux->file->mark_as_cleanup(aux->file, tmp);
    if (ret == 0)
        ret = mok_write_keyword_list(aux, nullptr, tmp, keywords, passwd->number_of_keywords, first,
                                     static_cast<size_t>(passwd->size_of_element));
    if (ret == 0)
        ret = aux->file->move_file(aux->file, path, tmp);
    aux->file->delete_cleanup(aux->file, tmp);
    return ret;
}

} // namespace

int moad_undelete_admin_user(MOX_AUX_T *aux, const char *home, const char *user_dir,
                             const char *platform) noexcept {
    MOE_ERROR_T *error = aux->error;
    if (strcmp(platform, "nt") != 0 && strcmp(platform, MOST_PLATFORM) != 0) {
        error->report(error, "Unknown platform %s\n", platform);
        return 1;
    }
    mo_filename_t home_dir, users;
    int ret = trimmed_dir(error, home, home_dir);
    if (ret == 0)
        ret = trimmed_dir(error, user_dir, users);
    if (ret == 0)
        ret = load_setup(aux, home_dir);
    // The directory the tool names is the one it restores.
    if (ret == 0 && users[0] != '\0')
        ret = most_setup_init_user_path(aux->setup, users);
    MOT_TOP_SESSION_T *session = nullptr;
    MOCL_CLEANUP_T *always = nullptr;
    MOCL_CLEANUP_T *fatal = nullptr;
    if (ret == 0)
        ret = mot_top_construct_session(&session, aux);
    if (ret == 0)
        ret = mocl_cleanup_new(&always, nullptr, aux->mem, aux->signal, "Request-Always");
    if (ret == 0)
        ret = mocl_cleanup_new(&fatal, nullptr, aux->mem, aux->signal, "Request-Fatal");
    if (ret == 0)
        ret = aux->file->init(aux->file, nullptr, always, aux->setup->exec_dir, aux->process);
    if (ret == 0)
        ret = aux->daemon->client_init(aux->daemon, nullptr, aux->setup->server_port);
    mo_string_t error_string = "";
    mo_boolean_t connected = FALSE;
    if (ret == 0) {
        // A running daemon holds the locks: the change goes through them.
        error->ignore = TRUE;
        int started = aux->daemon->client_start(aux->daemon, fatal, error_string);
        error->ignore = FALSE;
        connected = started == 0 && error_string[0] == '\0';
    }
    if (ret == 0)
        ret = mog_gen_construct(session);
    mo_boolean_t changed = FALSE;
    mo_boolean_t found = TRUE;
    if (ret == 0 && connected) {
        mo_string_t process_id = "";
        const char *machine = "";
        ret = aux->util->get_process_id(aux->util, process_id);
        if (ret == 0)
            ret = aux->util->local_machine_name(aux->util, 0, &machine);
        if (ret == 0)
            ret = aux->req->lock_call->init(aux->req->lock_call, "mo_aux", machine, "", atoi(process_id),
                                            fatal);
        if (ret == 0)
            ret = moap_passwd_undelete_admin(aux, session, &changed);
    } else if (ret == 0) {
        MOT_TOP_STYPE_T *passwd = nullptr;
        ret = mot_top_find_stype(session->storage.stype_list, aux, "passwd", &passwd);
        if (ret == 0)
            ret = undelete_in_file(aux, passwd, &changed, &found);
    }
    if (connected)
        aux->daemon->client_end(aux->daemon);
    if (ret != 0 && fatal != nullptr)
        fatal->run(fatal);
    if (always != nullptr) {
        always->stop_print(always);
        always->run(always);
    }
    if (ret == 0 && !found)
        printf("There is no initial administrator yet: the next start of %s makes it.\n",
               aux->setup->prod_name);
    else if (ret == 0)
        printf(changed ? "The initial administrator \"admin\" is active again.\n"
                       : "The initial administrator \"admin\" was not deleted.\n");
    return ret;
}

int moad_admin_main(MOX_AUX_T *aux, int argc, char **argv) noexcept {
    if (argc == 3 && strcmp(argv[1], "set_admin_password") == 0)
        return moad_set_admin_password(aux, argv[2]);
    if (argc == 5 && strcmp(argv[1], "undelete_admin_user") == 0)
        return moad_undelete_admin_user(aux, argv[2], argv[3], argv[4]);
    fprintf(stderr, "%s", usage);
    return 1;
}
