#!/usr/bin/env bash
# Usage: containedfault.sh <log of a fuzz target's run>. Exit status 0 when the run's sanitizer
# report is a fault wholly inside a decoder library that only the sandboxed decode worker runs
# (README.md, "Decoder faults the worker contains"), which tools/sanitizers.sh reports without
# failing; 1 for anything else, ours.
set -euo pipefail
# Such a fault is one AddressSanitizer report of a heap overflow or use after free whose faulting
# frames (the sanitizer's own aside) are the library's, entered once from outside (no frame of its
# further out: no callback of ours ran between), on memory the library allocated (and freed). Our
# code reading past a buffer the library gave it, or handing it too small a buffer, is ours. The
# allocation's stack is read only to its first frame past the sanitizer's: the unwinder loses its
# way in the libraries, which keep no frame pointers. A free the library made because our code
# asked for it (the library's frames of the free end in a release call of its own, made from ours)
# is ours too: whatever reached that memory afterwards, our code let go of it first. So a use
# after free needs the free's stack whole, out of the library (tools/sanitizers.sh runs such an
# input again unwinding every free in full); one that stops inside the library is ours.
CONTAINED_LIBS='libheif|libde265|libaom|libdav1d'
ALLOCATING='malloc|calloc|realloc|reallocarray|free|cfree|posix_memalign|memalign|__libc_memalign|aligned_alloc|valloc|pvalloc|strdup|__strdup|strndup|__strndup|wcsdup|getline|getdelim|asprintf|vasprintf'
RELEASING='(heif|de265|dav1d|aom)_[A-Za-z0-9_]*(release|free|unref|destroy|close|delete)[A-Za-z0-9_]*'
ACCESSING='memcpy|memmove|memset|memcmp|bcmp|memchr|memrchr|strlen|strnlen|wcslen|strcpy|strncpy|strcat|strncat|strcmp|strncmp|strchr|strrchr|strstr'
awk -v libs="^($CONTAINED_LIBS)[.]so" -v allocating="$ALLOCATING" -v accessing="$ACCESSING" \
    -v releasing="^($RELEASING)$" '
    function module(line, m) {
        if (match(line, /\((\/[^()]*)\+0x[0-9a-f]+\)/)) {
            m = substr(line, RSTART + 1, RLENGTH - 2)
            sub(/\+0x[0-9a-f]+$/, "", m)
            sub(/.*\//, "", m)
            return m
        }
        return ""
    }
    # The sanitizer names some of its interceptors plainly (clang 14: posix_memalign), so every
    # allocating one, and those that read or write memory for their caller, belong to the runtime.
    function runtime(line) {
        return line ~ / in (_?__interceptor_|__asan_|__sanitizer_|operator (new|delete))/ ||
            line ~ (" in (" allocating "|" accessing ")[ (]")
    }
    /ERROR: AddressSanitizer: (heap-buffer-overflow|heap-use-after-free) / {
        reports++; stack = "access"; state = 0; next
    }
    /ERROR: [A-Za-z]*Sanitizer|ERROR: libFuzzer|runtime error: / { others++ }
    # The function a frame names, if any.
    function called(line) {
        return match(line, / in [^ (]+/) ? substr(line, RSTART + 4, RLENGTH - 4) : ""
    }
    /freed by thread / && reports { stack = "free"; state = 0; allocated = 1; freed = 1; next }
    /(allocated|freed) by thread / && reports { stack = "origin"; state = 0; allocated = 1; next }
    /^ *#[0-9]+ / && stack != "" {
        lib = module($0) ~ libs
        if (state == 0) {
            if (runtime($0)) next
            if (!lib) ours = 1
            state = 1
            entry = called($0)
            next
        }
        if (stack == "free" && state == 1) {
            if (lib) entry = called($0)
            else {
                if (entry ~ releasing) ours = 1
                if ($0 !~ /<unknown module>/) whole = 1
                state = 2
            }
        }
        if (stack == "access") {
            if (state == 1 && !lib) state = 2
            else if (state == 2 && lib) ours = 1
        }
        next
    }
    /^ *$/ { stack = "" }
    END { exit !(reports == 1 && !others && allocated && !ours && (!freed || whole)) }
' "$1"
