/* Checks for the Windows test host: each failed check prints where and what, and counts. */
#ifndef HOST_CHECKS_H
#define HOST_CHECKS_H

#include <stdint.h>
#include <stdio.h>

extern int hostChecksPassed;
extern int hostChecksFailed;

#define CHECK_EQ(actual, expected)                                                                                     \
    do {                                                                                                               \
        long long actualValue_ = (long long)(actual);                                                                  \
        long long expectedValue_ = (long long)(expected);                                                              \
        if (actualValue_ == expectedValue_) {                                                                          \
            ++hostChecksPassed;                                                                                        \
        } else {                                                                                                       \
            ++hostChecksFailed;                                                                                        \
            printf("%s:%d: %s is %lld, expected %lld\n", __FILE__, __LINE__, #actual, actualValue_, expectedValue_);   \
        }                                                                                                              \
    } while (0)

#define CHECK(condition) CHECK_EQ(!!(condition), 1)

#endif
