// The script service: runs the store and unstore scripts and keyword scripts that exchange
// "name=value" lines with the system.
#pragma once
#include "mo_std.h"

#define MOSC_MAX_ANSWER (1024 * 1024) // longest answer line a keyword script may send, in bytes

struct MOSC_SCRIPT_KEYWORD_T {
    const char *keyword;         // the system's own name for the value
    const char *script_keyword;  // the name on the lines exchanged with the script
    char *value;                 // current value; replaced by a request-pool copy when answered
    MOSC_SCRIPT_KEYWORD_T *next; // next keyword
};
typedef struct MOSC_SCRIPT_KEYWORD_T mosc_script_keyword_t;

struct MOSC_SCRIPT_T {
    MOIM_INTERM_T *interm; // the intermediate bundle

    int (*store)(MOSC_SCRIPT_T *script, const char *dest, const char *src) noexcept;
    int (*unstore)(MOSC_SCRIPT_T *script, const char *dest, const char *src) noexcept;
    int (*unstore_protected)(MOSC_SCRIPT_T *script, const char *dest, const char *src,
                             int *exit_status) noexcept;
    int (*keyword_run)(MOSC_SCRIPT_T *script, const char *script_name, const char *source,
                       MOSC_SCRIPT_KEYWORD_T *list) noexcept;
    int (*conv_path_in)(MOSC_SCRIPT_T *script, const char *path, char *buf) noexcept;  // buf: mo_filename_t
    int (*conv_path_out)(MOSC_SCRIPT_T *script, const char *path, char *buf) noexcept; // buf: mo_filename_t
};

int mosc_construct_script(MOSC_SCRIPT_T **script, MOIM_INTERM_T *interm) noexcept;
// Appends a keyword (request pool) to the list; the value is copied, NULL standing for empty text.
int mosc_script_keyword_register(MOSC_SCRIPT_T *script, MOSC_SCRIPT_KEYWORD_T **head, const char *keyword,
                                 const char *script_keyword, const char *value) noexcept;
