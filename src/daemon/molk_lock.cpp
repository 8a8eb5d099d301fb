// The lock service. All lock decisions are made here, inside the single-threaded daemon, one message
// at a time; the server never blocks, a client that must wait asks again. Locks are not tied to
// connections: they end by release, by their sender's cleanup, or when a conflicting request finds
// them older than that request's timeout.
#include "daemon/molk_lock.h"
#include "platform/mocl_cleanup.h"
#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "platform/moe_error_cmn.h"
#include "storage/moh_hash.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mou_util_cmn.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#define MOLK_HASH_BUCKETS 31
#define MOLK_HASH_LIST_SIZE 2

static_assert(sizeof(MOLK_LOCK_MSG_T) <= MOD_MSG_DATA_SIZE);

const char *molk_get_string_lock_type(int lock_type) noexcept {
    switch (lock_type) {
        case MOLK_READ_LOCK:
            return "file for reading";
        case MOLK_WRITE_LOCK:
            return "file for writing";
        case MOLK_ELEMENT_LOCK:
            return "element";
        default:
            return "Unknown";
    }
}

namespace {

// ---------------------------------------------------------------- server

// Texts in a message are cut at their field's last byte, so a sender that left out the NUL
// cannot make the server read past a field.
void bound_fields(MOLK_LOCK_MSG_T *msg) noexcept {
    msg->filename[MOLK_FILENAME_LEN - 1] = '\0';
    msg->description[MOLK_DESCRIPTION_LEN - 1] = '\0';
    msg->user_id[MOLK_USER_ID_LEN - 1] = '\0';
    msg->id_num[MOLK_ID_NUM_LEN - 1] = '\0';
}

mou_datetime_t msg_date(const MOLK_LOCK_MSG_T *msg) noexcept {
    // Read unsigned: the 32-bit field keeps working past 2038.
    return static_cast<mou_datetime_t>(static_cast<uint32_t>(msg->date));
}

long age_of(mou_datetime_t now, mou_datetime_t then) noexcept {
    return static_cast<long>(now) - static_cast<long>(then);
}

// The elapsed-time text of a duration (seconds).
struct Elapsed {
    mo_string_t text;
    Elapsed(MOU_UTIL_T *util, long seconds) noexcept {
        text[0] = '\0';
        if (seconds < 0)
            seconds = 0;
        util->time_elapsed_string(util, seconds, text);
    }
};

void reply(MOLK_LOCK_MSG_T *msg, int status) noexcept {
    msg->exit_status = status;
}

void reply_text(MOLK_LOCK_MSG_T *msg, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
void reply_text(MOLK_LOCK_MSG_T *msg, const char *fmt, ...) noexcept {
    va_list ap;
    va_start(ap, fmt);
    if (vsnprintf(msg->error_msg, MOLK_ERROR_MSG_LEN, fmt, ap) < 0)
        msg->error_msg[0] = '\0';
    va_end(ap);
    msg->exit_status = MOLK_ERROR;
}

bool same_file(const MOLK_QUEUE_T *q, const MOLK_LOCK_MSG_T *msg) noexcept {
    return strcmp(q->filename, msg->filename) == 0;
}

void remove_entry(MOLK_LOCK_CONTROL_T *control, MOLK_QUEUE_T *entry) noexcept {
    MOLK_QUEUE_T **link = &control->queue;
    while (*link != nullptr && *link != entry)
        link = &(*link)->next;
    if (*link == nullptr)
        return;
    *link = entry->next;
    control->mem->free(control->mem, control->pool_ref, entry);
}

template <class Pred> MOLK_QUEUE_T *find_entry(MOLK_LOCK_CONTROL_T *control, Pred pred) noexcept {
    for (MOLK_QUEUE_T *q = control->queue; q != nullptr; q = q->next) {
        if (pred(q))
            return q;
    }
    return nullptr;
}

// Finds the first entry matching pred that is not older than timeout, removing the expired ones
// met on the way.
template <class Pred>
MOLK_QUEUE_T *find_live(MOLK_LOCK_CONTROL_T *control, Pred pred, long timeout, mou_datetime_t now) noexcept {
    for (;;) {
        MOLK_QUEUE_T *q = find_entry(control, pred);
        if (q == nullptr || age_of(now, q->date) <= timeout)
            return q;
        remove_entry(control, q);
    }
}

void copy_text(char *dest, const char *src, size_t capacity) noexcept {
    size_t n = strnlen(src, capacity - 1);
    memcpy(dest, src, n);
    dest[n] = '\0';
}

int append_entry(MOLK_LOCK_CONTROL_T *control, const MOLK_LOCK_MSG_T *msg, int lock_type,
                 mou_datetime_t now) noexcept {
    MOLK_QUEUE_T *entry = nullptr;
    int ret = mome_new(control->mem, control->pool_ref, &entry);
    if (ret != 0)
        return ret;
    entry->sender_id = msg->sender_id;
    entry->lock_type = lock_type;
    copy_text(entry->filename, msg->filename, sizeof(entry->filename));
    copy_text(entry->description, msg->description, sizeof(entry->description));
    copy_text(entry->id_num, msg->id_num, sizeof(entry->id_num));
    copy_text(entry->user_id, msg->user_id, sizeof(entry->user_id));
    entry->date = now;
    entry->next = nullptr;
    MOLK_QUEUE_T **link = &control->queue;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = entry;
    return 0;
}

// ---- writers' claims

MOLK_CLAIM_T *find_claim(MOLK_LOCK_CONTROL_T *control, const MOLK_LOCK_MSG_T *msg) noexcept {
    for (MOLK_CLAIM_T *c = control->claims; c != nullptr; c = c->next) {
        if (strcmp(c->filename, msg->filename) == 0)
            return c;
    }
    return nullptr;
}

void drop_claim(MOLK_LOCK_CONTROL_T *control, MOLK_CLAIM_T *claim) noexcept {
    MOLK_CLAIM_T **link = &control->claims;
    while (*link != nullptr && *link != claim)
        link = &(*link)->next;
    if (*link == nullptr)
        return;
    *link = claim->next;
    control->mem->free(control->mem, control->pool_ref, claim);
}

// A writer that stopped asking (it got in elsewhere, gave up or died) holds nobody back for long.
void drop_lapsed_claims(MOLK_LOCK_CONTROL_T *control, mou_datetime_t now) noexcept {
    MOLK_CLAIM_T *c = control->claims;
    while (c != nullptr) {
        MOLK_CLAIM_T *next = c->next;
        if (age_of(now, c->renewed) > MOLK_CLAIM_LAPSE)
            drop_claim(control, c);
        c = next;
    }
}

// A waiting writer claims the file, or renews its claim. A writer that itself holds a read lock
// on the file waits for that lock's expiry, which holding others back cannot hasten.
void claim_file(MOLK_LOCK_CONTROL_T *control, const MOLK_LOCK_MSG_T *msg, mou_datetime_t now) noexcept {
    MOLK_CLAIM_T *claim = find_claim(control, msg);
    if (claim != nullptr) {
        if (claim->sender_id == msg->sender_id)
            claim->renewed = now;
        return;
    }
    if (find_entry(control, [&](const MOLK_QUEUE_T *q) {
            return q->lock_type == MOLK_READ_LOCK && same_file(q, msg) && q->sender_id == msg->sender_id;
        }) != nullptr)
        return;
    // Without memory for the claim the writer just waits as it would without claims.
    if (mome_new(control->mem, control->pool_ref, &claim) != 0)
        return;
    claim->sender_id = msg->sender_id;
    copy_text(claim->filename, msg->filename, sizeof(claim->filename));
    claim->since = now;
    claim->renewed = now;
    claim->next = control->claims;
    control->claims = claim;
}

// A new reader waits while another process's claim on the file is live, but never longer than a
// few seconds in all, so that no cycle of locks between processes can hold it for good. A writer
// still waiting long after its claim began waits for long locks, and holds nobody back any more.
bool held_back(MOLK_LOCK_CONTROL_T *control, const MOLK_LOCK_MSG_T *msg, mou_datetime_t now) noexcept {
    MOLK_CLAIM_T *claim = find_claim(control, msg);
    return claim != nullptr && claim->sender_id != msg->sender_id &&
           age_of(now, msg_date(msg)) < MOLK_READER_HOLD && age_of(now, claim->since) < MOLK_CLAIM_HOLD;
}

int take_file_lock(MOLK_LOCK_CONTROL_T *control, MOLK_LOCK_MSG_T *msg, bool write,
                   mou_datetime_t now) noexcept {
    drop_lapsed_claims(control, now);
    int own_type = write ? MOLK_WRITE_LOCK : MOLK_READ_LOCK;
    int conf_type = write ? MOLK_READ_LOCK : MOLK_WRITE_LOCK;
    long own_timeout = write ? msg->write_timeout : msg->read_timeout;
    long conf_timeout = write ? msg->read_timeout : msg->write_timeout;
    int sender = msg->sender_id;

    // Read locks of this file past their timeout go: readers never wait for each other, so without
    // this a dead reader's lock would stay until the next writer came.
    if (!write) {
        for (MOLK_QUEUE_T *q = control->queue; q != nullptr;) {
            MOLK_QUEUE_T *next = q->next;
            if (q->lock_type == MOLK_READ_LOCK && same_file(q, msg) && age_of(now, q->date) > own_timeout)
                remove_entry(control, q);
            q = next;
        }
    }

    // A reader's own write lock is not waited for (it would wait for itself): it is caught below
    // as a double lock. A writer's own read lock is waited out like anyone's.
    MOLK_QUEUE_T *conflict = find_live(
        control,
        [&](const MOLK_QUEUE_T *q) {
            return q->lock_type == conf_type && same_file(q, msg) && (write || q->sender_id != sender);
        },
        conf_timeout, now);
    if (conflict != nullptr) {
        if (write)
            claim_file(control, msg, now);
        reply(msg, MOLK_WAIT);
        return 0;
    }

    MOLK_QUEUE_T *own = find_live(
        control,
        [&](const MOLK_QUEUE_T *q) {
            return (q->lock_type & (MOLK_READ_LOCK | MOLK_WRITE_LOCK)) != 0 && same_file(q, msg) &&
                   q->sender_id == sender;
        },
        conf_timeout, now);
    if (own != nullptr) {
        Elapsed age(control->util, age_of(now, own->date));
        Elapsed limit(control->util, conf_timeout);
        reply_text(msg,
                   "The %s file(%s) %s is already locked by this process. How did this happen?\n"
                   "It was locked %s ago and should timeout after %s.\n",
                   own->description, own->filename, molk_get_string_lock_type(own->lock_type), age.text,
                   limit.text);
        return 0;
    }

    if (write) {
        MOLK_QUEUE_T *other = find_live(
            control, [&](const MOLK_QUEUE_T *q) { return q->lock_type == own_type && same_file(q, msg); },
            own_timeout, now);
        if (other != nullptr) {
            claim_file(control, msg, now);
            reply(msg, MOLK_WAIT);
            return 0;
        }
    } else if (held_back(control, msg, now)) {
        reply(msg, MOLK_WAIT);
        return 0;
    }

    int ret = append_entry(control, msg, own_type, now);
    if (ret != 0)
        return ret;
    MOLK_CLAIM_T *claim = write ? find_claim(control, msg) : nullptr;
    if (claim != nullptr && claim->sender_id == sender)
        drop_claim(control, claim);
    reply(msg, MOLK_DONE);
    return 0;
}

void release_file_lock(MOLK_LOCK_CONTROL_T *control, MOLK_LOCK_MSG_T *msg, int type) noexcept {
    MOLK_QUEUE_T *q = find_entry(control, [&](const MOLK_QUEUE_T *e) {
        return e->lock_type == type && same_file(e, msg) && e->sender_id == msg->sender_id;
    });
    if (q == nullptr) {
        reply_text(msg,
                   "Can't unlock. The process has not locked the %s file(%s) %s or it was broken by the "
                   "administrator\n",
                   msg->description, msg->filename, molk_get_string_lock_type(type));
        return;
    }
    remove_entry(control, q);
    reply(msg, MOLK_DONE);
}

void check_file_lock(MOLK_LOCK_CONTROL_T *control, MOLK_LOCK_MSG_T *msg, int type) noexcept {
    MOLK_QUEUE_T *q = find_entry(control, [&](const MOLK_QUEUE_T *e) {
        return e->lock_type == type && same_file(e, msg) && e->sender_id == msg->sender_id;
    });
    if (q != nullptr) {
        reply(msg, MOLK_DONE);
        return;
    }
    Elapsed limit(control->util, type == MOLK_READ_LOCK ? msg->read_timeout : msg->write_timeout);
    reply_text(
        msg,
        "Lock for %s file(%s) %s timed out it took longer than %s.\nIf this is a problem contact the page "
        "maintainer.\n",
        msg->description, msg->filename, molk_get_string_lock_type(type), limit.text);
}

int mod_number(MOLK_LOCK_CONTROL_T *control, MOLK_LOCK_MSG_T *msg, bool raise) noexcept {
    mo_boolean_t found = FALSE;
    void *ref = nullptr;
    int ret = moh_hash_find(control->interm, control->hash, msg->filename, &found, &ref);
    if (ret != 0)
        return ret;
    auto *mod = static_cast<MOLK_FILE_MOD_T *>(ref);
    if (!raise) {
        msg->exit_status = (found && mod != nullptr) ? mod->mod_number : 1;
        return 0;
    }
    if (found && mod != nullptr) {
        mod->mod_number++;
    } else {
        ret = mome_new(control->mem, control->pool_ref, &mod);
        if (ret != 0)
            return ret;
        mod->mod_number = 2;
        ret = moh_hash_add(control->interm, control->hash, msg->filename, mod);
        if (ret != 0)
            return ret;
    }
    reply(msg, MOLK_DONE);
    return 0;
}

void element_timed_out(MOLK_LOCK_CONTROL_T *control, MOLK_LOCK_MSG_T *msg) noexcept {
    Elapsed limit(control->util, msg->read_timeout);
    reply_text(
        msg,
        "Lock for %s file(%s) %s %s timed out it took longer than %s.\nIf this is a problem contact the "
        "page maintainer.\n",
        msg->description, msg->filename, molk_get_string_lock_type(MOLK_ELEMENT_LOCK), msg->id_num,
        limit.text);
}

int take_element_lock(MOLK_LOCK_CONTROL_T *control, MOLK_LOCK_MSG_T *msg, mou_datetime_t now) noexcept {
    MOLK_QUEUE_T *holder = find_live(
        control,
        [&](const MOLK_QUEUE_T *q) {
            return q->lock_type == MOLK_ELEMENT_LOCK && same_file(q, msg) &&
                   (strcmp(q->id_num, msg->id_num) == 0 || strcmp(q->id_num, MOLK_ALL_ELEMENTS) == 0);
        },
        msg->read_timeout, now);
    if (holder != nullptr) {
        if (age_of(now, msg_date(msg)) > MOLK_ELEMENT_WAIT) {
            Elapsed age(control->util, age_of(now, holder->date));
            Elapsed limit(control->util, msg->read_timeout);
            reply_text(
                msg,
                "The %s file(%s) %s %s is already locked by %s.\nIt was locked %s ago and should timeout "
                "after %s.\n",
                holder->description, holder->filename, molk_get_string_lock_type(MOLK_ELEMENT_LOCK),
                msg->id_num, holder->user_id, age.text, limit.text);
        } else {
            reply(msg, MOLK_WAIT);
        }
        return 0;
    }
    int ret = append_entry(control, msg, MOLK_ELEMENT_LOCK, now);
    if (ret != 0)
        return ret;
    reply(msg, MOLK_DONE);
    return 0;
}

MOLK_QUEUE_T *users_element_lock(MOLK_LOCK_CONTROL_T *control, const MOLK_LOCK_MSG_T *msg) noexcept {
    return find_entry(control, [&](const MOLK_QUEUE_T *q) {
        return q->lock_type == MOLK_ELEMENT_LOCK && same_file(q, msg) &&
               strcmp(q->user_id, msg->user_id) == 0;
    });
}

void check_element_lock(MOLK_LOCK_CONTROL_T *control, MOLK_LOCK_MSG_T *msg) noexcept {
    MOLK_QUEUE_T *q = users_element_lock(control, msg);
    if (q == nullptr) {
        element_timed_out(control, msg);
        return;
    }
    if (strcmp(q->id_num, msg->id_num) == 0) {
        reply(msg, MOLK_DONE);
        return;
    }
    reply_text(
        msg,
        "You haven't got a lock for %s file(%s) %s ID %s.\n In fact you have locked ID number %s instead.\n "
        "How did this happen?\n",
        msg->description, msg->filename, molk_get_string_lock_type(MOLK_ELEMENT_LOCK), msg->id_num,
        q->id_num);
}

void release_element_lock(MOLK_LOCK_CONTROL_T *control, MOLK_LOCK_MSG_T *msg) noexcept {
    MOLK_QUEUE_T *q = users_element_lock(control, msg);
    if (q == nullptr) {
        element_timed_out(control, msg);
        return;
    }
    remove_entry(control, q);
    reply(msg, MOLK_DONE);
}

template <class Pred> void remove_all(MOLK_LOCK_CONTROL_T *control, Pred pred) noexcept {
    MOLK_QUEUE_T *q;
    while ((q = find_entry(control, pred)) != nullptr)
        remove_entry(control, q);
}

void list_locks(MOLK_LOCK_CONTROL_T *control, MOLK_LOCK_MSG_T *msg, mou_datetime_t now) noexcept {
    msg->error_msg[0] = '\0';
    for (MOLK_QUEUE_T *q = control->queue; q != nullptr; q = q->next) {
        Elapsed age(control->util, age_of(now, q->date));
        mo_string_t line;
        snprintf(line, sizeof(line), "%s file(%s) %s %s was locked %s ago by %s\n", q->description,
                 q->filename, molk_get_string_lock_type(q->lock_type), q->id_num, age.text, q->user_id);
        control->util->safe_strcat(control->util, msg->error_msg, line, MOLK_ERROR_MSG_LEN);
    }
    reply(msg, MOLK_DONE);
}

} // namespace

int molk_serve(MOLK_LOCK_CONTROL_T *control, MOLK_LOCK_MSG_T *msg, mou_datetime_t now) noexcept {
    bound_fields(msg);
    msg->error_msg[0] = '\0';
    msg->exit_status = MOLK_DONE;
    switch (msg->op) {
        case MOLK_OP_READ_LOCK:
            return take_file_lock(control, msg, false, now);
        case MOLK_OP_WRITE_LOCK:
            return take_file_lock(control, msg, true, now);
        case MOLK_OP_READ_UNLOCK:
            release_file_lock(control, msg, MOLK_READ_LOCK);
            return 0;
        case MOLK_OP_WRITE_UNLOCK:
            release_file_lock(control, msg, MOLK_WRITE_LOCK);
            return 0;
        case MOLK_OP_READ_CHECK:
            check_file_lock(control, msg, MOLK_READ_LOCK);
            return 0;
        case MOLK_OP_WRITE_CHECK:
            check_file_lock(control, msg, MOLK_WRITE_LOCK);
            return 0;
        case MOLK_OP_MOD_RAISE:
            return mod_number(control, msg, true);
        case MOLK_OP_MOD_GET:
            return mod_number(control, msg, false);
        case MOLK_OP_ELEMENT_LOCK:
            return take_element_lock(control, msg, now);
        case MOLK_OP_ELEMENT_UNLOCK:
            release_element_lock(control, msg);
            return 0;
        case MOLK_OP_ELEMENT_CHECK:
            check_element_lock(control, msg);
            return 0;
        case MOLK_OP_ELEMENT_UNLOCK_ALL:
            remove_all(control, [&](const MOLK_QUEUE_T *q) {
                return q->lock_type == MOLK_ELEMENT_LOCK && strcmp(q->user_id, msg->user_id) == 0;
            });
            return 0;
        case MOLK_OP_SENDER_CLEANUP:
            remove_all(control, [&](const MOLK_QUEUE_T *q) {
                return (q->lock_type & (MOLK_READ_LOCK | MOLK_WRITE_LOCK)) != 0 &&
                       q->sender_id == msg->sender_id;
            });
            return 0;
        case MOLK_OP_LIST:
            list_locks(control, msg, now);
            return 0;
        default:
            // A peer's mistake, not the daemon's: it is told so, and everyone else is served on.
            control->error->report(control->error, "Unknown File Lock Operation %d\n",
                                   static_cast<int>(msg->op));
            reply_text(msg, "Unknown File Lock Operation %d\n", static_cast<int>(msg->op));
            return 0;
    }
}

int molk_main_service(void *lock_control_ref, void **data) noexcept {
    auto *control = static_cast<MOLK_LOCK_CONTROL_T *>(lock_control_ref);
    auto *msg = static_cast<MOLK_LOCK_MSG_T *>(*data);
    mou_datetime_t now = 0;
    int ret = control->util->get_current_datetime(control->util, &now);
    if (ret != 0)
        return ret;
    return molk_serve(control, msg, now);
}

int molk_control_new(MOLK_LOCK_CONTROL_T **control_ptr, void *pool_ref, MOE_ERROR_T *error,
                     MOD_DAEMON_T *daemon, MOU_UTIL_T *util, MOIM_INTERM_T *interm,
                     MOME_MEM_T *mem) noexcept {
    MOLK_LOCK_CONTROL_T *control = nullptr;
    int ret = mome_new(mem, pool_ref, &control);
    if (ret != 0)
        return ret;
    control->error = error;
    control->daemon = daemon;
    control->util = util;
    control->interm = interm;
    control->mem = mem;
    control->pool_ref = pool_ref;
    control->queue = nullptr;
    control->claims = nullptr;
    ret = moh_hash_init(interm, pool_ref, MOLK_HASH_BUCKETS, MOLK_HASH_LIST_SIZE, &control->hash);
    if (ret != 0)
        return ret;
    *control_ptr = control;
    return 0;
}

int molk_daemon_construct(void *pool_ref, MOE_ERROR_T *error, MOD_DAEMON_T *daemon, MOU_UTIL_T *util,
                          MOIM_INTERM_T *interm, MOME_MEM_T *mem) noexcept {
    MOLK_LOCK_CONTROL_T *control = nullptr;
    int ret = molk_control_new(&control, pool_ref, error, daemon, util, interm, mem);
    if (ret != 0)
        return ret;
    return daemon->add_service(daemon, MOLK_INSTR, molk_main_service, control);
}

// ---------------------------------------------------------------- client

namespace {

enum class CallStyle {
    with_wait,     // poll every 100 ms while the server says wait
    no_wait,       // one attempt
    return_status, // one attempt, nothing reported, the status result gets exit_status
    no_error,      // one attempt, nothing reported, the status result gets whether it was 0
};

struct Request {
    int op;
    const char *filename;
    const char *description;
    const char *id_num;
    int read_timeout;
    int write_timeout;
};

// Fills the client message for one attempt.
int molk_config_call(MOLK_LOCK_CALL_T *call, const Request &req, int32_t date,
                     MOLK_LOCK_MSG_T **msg_ptr) noexcept {
    void *data = nullptr;
    int ret = call->daemon->get_data(call->daemon, &data, static_cast<int>(sizeof(MOLK_LOCK_MSG_T)));
    if (ret != 0)
        return ret;
    auto *msg = static_cast<MOLK_LOCK_MSG_T *>(data);
    memset(msg, 0, sizeof(*msg));
    msg->op = req.op;
    msg->sender_id = call->sender_id;
    copy_text(msg->user_id, call->user_id, sizeof(msg->user_id));
    copy_text(msg->filename, req.filename != nullptr ? req.filename : "", sizeof(msg->filename));
    copy_text(msg->description, req.description != nullptr ? req.description : "", sizeof(msg->description));
    copy_text(msg->id_num, req.id_num != nullptr ? req.id_num : "", sizeof(msg->id_num));
    msg->read_timeout = req.read_timeout;
    msg->write_timeout = req.write_timeout;
    msg->exit_status = 0;
    msg->date = date;
    msg->error_msg[0] = '\0';
    *msg_ptr = msg;
    return 0;
}

int32_t current_date(MOLK_LOCK_CALL_T *call) noexcept {
    mou_datetime_t now = 0;
    call->util->get_current_datetime(call->util, &now);
    return static_cast<int32_t>(static_cast<uint32_t>(now));
}

int send_call(MOLK_LOCK_CALL_T *call, const Request &req, CallStyle style, int *status_ptr,
              MOLK_LOCK_MSG_T **reply_ptr = nullptr) noexcept {
    int32_t date = 0;
    if (style == CallStyle::with_wait || style == CallStyle::no_wait)
        date = current_date(call);
    MOLK_LOCK_MSG_T *msg = nullptr;
    for (;;) {
        int ret = molk_config_call(call, req, date, &msg);
        if (ret == 0)
            ret = call->daemon->gen_call(call->daemon, MOLK_INSTR, msg);
        if (ret != 0)
            return ret;
        msg->error_msg[MOLK_ERROR_MSG_LEN - 1] = '\0';
        if (style != CallStyle::with_wait || msg->exit_status != MOLK_WAIT)
            break;
        modsk_socket_pause(MOLK_POLL_MILLISECONDS);
    }
    if (reply_ptr != nullptr)
        *reply_ptr = msg;
    switch (style) {
        case CallStyle::return_status:
            if (status_ptr != nullptr)
                *status_ptr = msg->exit_status;
            return 0;
        case CallStyle::no_error:
            if (status_ptr != nullptr)
                *status_ptr = msg->exit_status == 0 ? TRUE : FALSE;
            return 0;
        default:
            if (status_ptr != nullptr)
                *status_ptr = msg->exit_status;
            if (msg->exit_status == MOLK_ERROR) {
                call->error->report(call->error, "%s", msg->error_msg);
                return 1;
            }
            return 0;
    }
}

int file_lock_with(MOLK_LOCK_CALL_T *call, int instr, const char *filename, const char *description,
                   int *status_ptr, int read_timeout, int write_timeout) noexcept {
    Request req = {0, filename, description, "", read_timeout, write_timeout};
    CallStyle style = CallStyle::no_wait;
    switch (instr) {
        case MOLK_FILE_READ:
            req.op = MOLK_OP_READ_LOCK;
            style = CallStyle::with_wait;
            break;
        case MOLK_FILE_WRITE:
            req.op = MOLK_OP_WRITE_LOCK;
            style = CallStyle::with_wait;
            break;
        case MOLK_FILE_READ_RELEASE:
            req.op = MOLK_OP_READ_UNLOCK;
            break;
        case MOLK_FILE_WRITE_RELEASE:
            req.op = MOLK_OP_WRITE_UNLOCK;
            break;
        case MOLK_FILE_READ_CHECK:
            req.op = MOLK_OP_READ_CHECK;
            break;
        case MOLK_FILE_WRITE_CHECK:
            req.op = MOLK_OP_WRITE_CHECK;
            break;
        case MOLK_FILE_WRITE_HELD:
            req.op = MOLK_OP_WRITE_CHECK;
            style = CallStyle::no_error;
            break;
        case MOLK_FILE_MOD_RAISE:
            req.op = MOLK_OP_MOD_RAISE;
            break;
        case MOLK_FILE_MOD_GET:
            req.op = MOLK_OP_MOD_GET;
            style = CallStyle::return_status;
            break;
        default:
            call->error->report(call->error, "Can't find inst %d in molk_call_file_lock", instr);
            return 1;
    }
    return send_call(call, req, style, status_ptr);
}

int molk_call_file_lock(MOLK_LOCK_CALL_T *call, int instr, const char *filename, const char *description,
                        int *status_ptr) noexcept {
    return file_lock_with(call, instr, filename, description, status_ptr, MOLK_READ_TIMEOUT,
                          MOLK_WRITE_TIMEOUT);
}

int molk_call_file_lock_long(MOLK_LOCK_CALL_T *call, int instr, const char *filename, const char *description,
                             int *status_ptr) noexcept {
    return file_lock_with(call, instr, filename, description, status_ptr, MOLK_LONG_TIMEOUT,
                          MOLK_LONG_TIMEOUT);
}

int molk_call_element_lock(MOLK_LOCK_CALL_T *call, int instr, const char *filename, const char *description,
                           const char *element_id, int *status_ptr) noexcept {
    Request req = {instr, filename, description, element_id, MOLK_ELEMENT_TIMEOUT, MOLK_ELEMENT_TIMEOUT};
    switch (instr) {
        case MOLK_ELEMENT_TAKE:
            return send_call(call, req, CallStyle::with_wait, status_ptr);
        case MOLK_ELEMENT_RELEASE:
        case MOLK_ELEMENT_CHECK:
            return send_call(call, req, CallStyle::no_wait, status_ptr);
        case MOLK_ELEMENT_RELEASE_ALL:
            req.id_num = "";
            return send_call(call, req, CallStyle::no_wait, status_ptr);
        default:
            call->error->report(call->error, "Can't find inst %d in molk_call_element_lock", instr);
            return 1;
    }
}

int molk_call_list(MOLK_LOCK_CALL_T *call, const char **text_ptr) noexcept {
    Request req = {MOLK_OP_LIST, "ALL", "", "", MOLK_READ_TIMEOUT, MOLK_WRITE_TIMEOUT};
    MOLK_LOCK_MSG_T *msg = nullptr;
    int ret = send_call(call, req, CallStyle::no_wait, nullptr, &msg);
    if (ret != 0)
        return ret;
    *text_ptr = msg->error_msg;
    return 0;
}

// Run from the fatal-cleanup list of a dying process: gives back its file locks. Nothing may be
// reported on the way out.
int cleanup_daemon_locks(const char *, void *ref1, void *) noexcept {
    auto *call = static_cast<MOLK_LOCK_CALL_T *>(ref1);
    mo_boolean_t saved = call->error->ignore;
    call->error->ignore = TRUE;
    Request req = {MOLK_OP_SENDER_CLEANUP, "ALL", "", "", MOLK_READ_TIMEOUT, MOLK_WRITE_TIMEOUT};
    send_call(call, req, CallStyle::return_status, nullptr);
    call->error->ignore = saved;
    return 0;
}

int molk_call_init(MOLK_LOCK_CALL_T *call, const char *username, const char *machine, const char *agent_id,
                   int req_id, MOCL_CLEANUP_T *cleanup_fatal) noexcept {
    call->sender_id = req_id;
    MOU_UTIL_T *util = call->util;
    util->safe_strcpy(util, call->user_id, username != nullptr ? username : "", MOLK_USER_ID_LEN);
    util->safe_strcat(util, call->user_id, " on ", MOLK_USER_ID_LEN);
    util->safe_strcat(util, call->user_id, machine != nullptr ? machine : "", MOLK_USER_ID_LEN);
    util->safe_strcat(util, call->user_id, " ", MOLK_USER_ID_LEN);
    util->safe_strcat(util, call->user_id, agent_id != nullptr ? agent_id : "", MOLK_USER_ID_LEN);
    if (cleanup_fatal != nullptr)
        return cleanup_fatal->add(cleanup_fatal, "cleanup daemon locks", cleanup_daemon_locks, call, nullptr);
    return 0;
}

} // namespace

int molk_call_construct(MOLK_LOCK_CALL_T **call_ptr, MOE_ERROR_T *error, MOD_DAEMON_T *daemon,
                        MOU_UTIL_T *util, MOME_MEM_T *mem, void *pool_ref) noexcept {
    MOLK_LOCK_CALL_T *call = nullptr;
    int ret = mome_new(mem, pool_ref, &call);
    if (ret != 0)
        return ret;
    call->error = error;
    call->daemon = daemon;
    call->util = util;
    call->mem = mem;
    call->pool_ref = pool_ref;
    call->user_id[0] = '\0';
    call->sender_id = -1;
    call->init = molk_call_init;
    call->element_lock = molk_call_element_lock;
    call->file_lock = molk_call_file_lock;
    call->file_lock_long = molk_call_file_lock_long;
    call->list = molk_call_list;
    *call_ptr = call;
    return 0;
}
