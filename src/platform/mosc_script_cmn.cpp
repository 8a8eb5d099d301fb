// The script service: runs the site's store and unstore scripts and the file-type keyword scripts with
// the installation's shell. Keyword scripts get "name=value" lines on their input and answer with lines
// of the same form; every answered value replaces the one held here.
#include "platform/mosc_script_cmn.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "entry/moim_interm.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mop_process_cmn.h"
#include "platform/most_setup_cmn.h"

#include <cstring>
#include <new>
#include <string>

static int mosc_script_store(MOSC_SCRIPT_T *script, const char *dest, const char *src) noexcept;
static int mosc_script_unstore(MOSC_SCRIPT_T *script, const char *dest, const char *src) noexcept;
static int mosc_script_unstore_protected(MOSC_SCRIPT_T *script, const char *dest, const char *src,
                                         int *exit_status) noexcept;
static int mosc_script_keyword_run(MOSC_SCRIPT_T *script, const char *script_name, const char *source,
                                   MOSC_SCRIPT_KEYWORD_T *list) noexcept;
static int mosc_script_conv_path_in(MOSC_SCRIPT_T *script, const char *path, char *buf) noexcept;
static int mosc_script_conv_path_out(MOSC_SCRIPT_T *script, const char *path, char *buf) noexcept;

int mosc_construct_script(MOSC_SCRIPT_T **script, MOIM_INTERM_T *interm) noexcept {
    int ret = mome_new(interm->mem, interm->mem->session_pool_ref, script);
    if (ret != 0)
        return ret;
    MOSC_SCRIPT_T *s = *script;
    s->interm = interm;
    s->store = mosc_script_store;
    s->unstore = mosc_script_unstore;
    s->unstore_protected = mosc_script_unstore_protected;
    s->keyword_run = mosc_script_keyword_run;
    s->conv_path_in = mosc_script_conv_path_in;
    s->conv_path_out = mosc_script_conv_path_out;
    return 0;
}

int mosc_script_keyword_register(MOSC_SCRIPT_T *script, MOSC_SCRIPT_KEYWORD_T **head, const char *keyword,
                                 const char *script_keyword, const char *value) noexcept {
    MOME_MEM_T *mem = script->interm->mem;
    MOSC_SCRIPT_KEYWORD_T *kw = nullptr;
    int ret = mome_new(mem, mem->req_pool_ref, &kw);
    if (ret != 0)
        return ret;
    kw->keyword = keyword;
    kw->script_keyword = script_keyword;
    kw->next = nullptr;
    // The value is our own copy: an answer from the script replaces (and frees) it, never the caller's.
    ret = mem->store_string(mem, mem->req_pool_ref, &kw->value, value != nullptr ? value : "");
    if (ret != 0)
        return ret;
    MOSC_SCRIPT_KEYWORD_T **tail = head;
    while (*tail != nullptr)
        tail = &(*tail)->next;
    *tail = kw;
    return 0;
}

// Runs "<exec_dir>/sh <script_dir>/<name> dest src" and judges it in the given error mode.
static int run_store_script(MOSC_SCRIPT_T *script, const char *name, const char *dest, const char *src,
                            int on_error, int *exit_status) noexcept {
    MOIM_INTERM_T *interm = script->interm;
    MOP_PROCESS_T *process = interm->process;
    mo_filename_t shell, path;
    int ret = mof_file_build_path(interm->error, shell, "%s/sh", interm->setup->exec_dir);
    if (ret == 0)
        ret = mof_file_build_path(interm->error, path, "%s/%s", interm->setup->script_dir, name);
    if (ret != 0)
        return ret;
    MOP_CHANNEL_T channel;
    memset(&channel, 0, sizeof(channel));
    ret = process->open_process(process, &channel, on_error, shell, path, dest, src,
                                static_cast<const char *>(nullptr));
    if (ret == 0)
        ret = process->end_process(process, &channel, on_error, exit_status);
    return ret;
}

static int mosc_script_store(MOSC_SCRIPT_T *script, const char *dest, const char *src) noexcept {
    int exit_status = 0;
    int ret = run_store_script(script, "mo_store", dest, src, MOP_ON_ERROR_FAIL, &exit_status);
    if (ret != 0)
        script->interm->error->report(script->interm->error, "Can't store filename: %s\n", src);
    return ret;
}

static int mosc_script_unstore(MOSC_SCRIPT_T *script, const char *dest, const char *src) noexcept {
    int exit_status = 0;
    int ret = run_store_script(script, "mo_unstore", dest, src, MOP_ON_ERROR_FAIL, &exit_status);
    if (ret != 0)
        script->interm->error->report(script->interm->error, "Can't unstore filename: %s\n", src);
    return ret;
}

static int mosc_script_unstore_protected(MOSC_SCRIPT_T *script, const char *dest, const char *src,
                                         int *exit_status) noexcept {
    *exit_status = 0;
    int ret = run_store_script(script, "mo_unstore", dest, src, MOP_ON_ERROR_MARK, exit_status);
    if (ret != 0)
        script->interm->error->report(script->interm->error, "Can't unstore filename: %s\n", src);
    return ret;
}

// Absolute: begins with "/" or "\", or carries a drive letter ("c:...").
static bool is_absolute(const char *name) noexcept {
    return name[0] == '/' || name[0] == '\\' || (name[0] != '\0' && name[1] == ':');
}

// Takes one answered line: the name up to the first "=", the value after it.
static int take_answer(MOSC_SCRIPT_T *script, MOSC_SCRIPT_KEYWORD_T *list, const std::string &line,
                       const char *script_path) {
    MOIM_INTERM_T *interm = script->interm;
    size_t eq = line.find('=');
    std::string name = line.substr(0, eq);
    std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    for (MOSC_SCRIPT_KEYWORD_T *kw = list; kw != nullptr; kw = kw->next) {
        if (kw->script_keyword != nullptr && name == kw->script_keyword)
            return interm->mem->restore_string(interm->mem, interm->mem->req_pool_ref, &kw->value,
                                               value.c_str());
    }
    interm->error->report_warning(interm->error, "Unknown keyword %s sent back from the script %s\n",
                                  name.c_str(), script_path);
    return 0;
}

static int keyword_exchange(MOSC_SCRIPT_T *script, MOP_CHANNEL_T *channel, MOSC_SCRIPT_KEYWORD_T *list,
                            const char *script_path) {
    MOP_PROCESS_T *process = script->interm->process;
    MOE_ERROR_T *error = script->interm->error;
    // A script that needs only its file may end without reading its input; whether writing to it
    // then fails depends on timing alone. Such a write is not the verdict: the script's answers,
    // exit status and error output are, so the rest of the lines are dropped quietly.
    mo_boolean_t was_ignoring = error->ignore;
    error->ignore = TRUE;
    int wret = 0;
    for (MOSC_SCRIPT_KEYWORD_T *kw = list; wret == 0 && kw != nullptr; kw = kw->next)
        wret = process->write_line(process, channel, "%s=%s\n", kw->script_keyword, kw->value);
    error->ignore = was_ignoring;
    // The script sees the end of its input; end_process must not close the descriptor again.
    process->close_stream(process, channel->in);
    channel->in = -1;
    int ret = 0;
    mo_string_t buf;
    std::string line;
    mo_boolean_t eof = FALSE;
    while (ret == 0) {
        ret = process->read_line(process, channel, buf, sizeof(buf), &eof);
        if (ret != 0)
            break;
        line += buf;
        // A script gone wrong could otherwise make us hold any amount of its output.
        if (line.size() > MOSC_MAX_ANSWER) {
            error->report(error, "Script %s answered a line longer than %d bytes\n", script_path,
                          MOSC_MAX_ANSWER);
            return 1;
        }
        // A line longer than the buffer arrives in pieces; join them so no piece passes for a name.
        bool complete = !line.empty() && line.back() == '\n';
        if (!complete && !eof)
            continue;
        size_t end = line.find_first_of("\r\n");
        if (end != std::string::npos)
            line.resize(end);
        if (!line.empty() || complete)
            ret = take_answer(script, list, line, script_path);
        line.clear();
        if (eof)
            break;
    }
    return ret;
}

static int mosc_script_keyword_run(MOSC_SCRIPT_T *script, const char *script_name, const char *source,
                                   MOSC_SCRIPT_KEYWORD_T *list) noexcept {
    MOIM_INTERM_T *interm = script->interm;
    MOP_PROCESS_T *process = interm->process;
    mo_filename_t shell, path, conv;
    int ret = mof_file_build_path(interm->error, shell, "%s/sh", interm->setup->exec_dir);
    if (ret == 0) {
        if (is_absolute(script_name))
            ret = mof_file_build_path(interm->error, path, "%s", script_name);
        else
            ret = mof_file_build_path(interm->error, path, "%s/%s", interm->setup->home_dir, script_name);
    }
    if (ret == 0)
        ret = script->conv_path_in(script, path, conv);
    if (ret != 0)
        return ret;
    MOP_CHANNEL_T channel;
    memset(&channel, 0, sizeof(channel));
    ret = process->open_process(process, &channel, MOP_ON_ERROR_FAIL, shell, conv, source,
                                static_cast<const char *>(nullptr));
    if (ret != 0)
        return ret;
    try {
        ret = keyword_exchange(script, &channel, list, conv);
    } catch (const std::bad_alloc &) {
        interm->error->report(interm->error, "Out of memory\n");
        ret = 1;
    }
    if (ret != 0) {
        // The child would otherwise run on until the end of the request.
        process->kill_process(process, &channel);
        return ret;
    }
    int exit_status = 0;
    return process->end_process(process, &channel, MOP_ON_ERROR_FAIL, &exit_status);
}

// Paths are native here: both conversions copy, refusing a path that does not fit.
static int mosc_script_conv_path_in(MOSC_SCRIPT_T *script, const char *path, char *buf) noexcept {
    return mof_file_build_path(script->interm->error, buf, "%s", path);
}

static int mosc_script_conv_path_out(MOSC_SCRIPT_T *script, const char *path, char *buf) noexcept {
    return mof_file_build_path(script->interm->error, buf, "%s", path);
}
