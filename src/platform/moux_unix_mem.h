// POSIX memory service: nominal pools on the process heap.
#pragma once
#include "platform/mome_mem_cmn.h"

int moux_mem_init(MOME_MEM_T *mem, void *session_pool, void *req_pool) noexcept;
int moux_mem_malloc(MOME_MEM_T *mem, void *pool, void **out, size_t size) noexcept;
int moux_mem_create_sub_pool(MOME_MEM_T *mem, void *pool, void **sub_pool) noexcept;
int moux_mem_destory_sub_pool(MOME_MEM_T *mem, void *pool) noexcept;
int moux_mem_clear_sub_pool(MOME_MEM_T *mem, void *pool) noexcept;
int moux_mem_free(MOME_MEM_T *mem, void *pool, void *block) noexcept;
int moux_mem_store_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept;
int moux_mem_restore_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept;
int moux_mem_report_num_bytes(MOME_MEM_T *mem, void *pool) noexcept;

extern const MOME_MEM_T moux_mem_slots;
