// Operations of the administration program `mo_aux`. The password never leaves this process in
// clear: it is read from standard input, hashed, and wiped; only its crypt text is written.
#include "entry/moad_admin.h"
#include "apps/mocr_crypt.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/moux_unix_private.h"

#include <cstdio>
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

int moad_admin_main(MOX_AUX_T *aux, int argc, char **argv) noexcept {
    MOE_ERROR_T *error = aux->error;
    if (argc == 3 && strcmp(argv[1], "set_admin_password") == 0)
        return moad_set_admin_password(aux, argv[2]);
    if (argc == 5 && strcmp(argv[1], "undelete_admin_user") == 0) {
        // The restore tool's operation needs the user list, which this installation does not have yet.
        error->report(error, "undelete_admin_user is not available yet: this version has no user list\n");
        return 1;
    }
    fprintf(stderr, "%s", usage);
    return 1;
}
