#pragma once

#include <unistd.h>

// The engine reports failed assertions on standard output; death tests read standard
// error, so the dying child sends one into the other.
#define STDOUT_TO_STDERR(statement) \
    do {                            \
        dup2(2, 1);                 \
        statement;                  \
    } while (0)
