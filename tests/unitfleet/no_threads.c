// SPDX-License-Identifier: Apache-2.0
/* Loaded ahead of the C library (LD_PRELOAD) into a program under test: no
   thread can be started, as on a system out of processes or memory. */
#include <errno.h>
#include <pthread.h>

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*run)(void*),
                   void* argument) {
    (void)thread;
    (void)attributes;
    (void)run;
    (void)argument;
    return EAGAIN;
}
