#pragma once

// Included before any system header by the POSIX files. They use XSI (sigaltstack, SA_ONSTACK)
// and, beyond it, SIGWINCH and TIOCSCTTY. glibc and macOS show XSI only when asked, and macOS
// then hides the rest unless asked for its own extensions too; the BSDs show everything unless
// asked for less.
#if defined(__APPLE__)
#define _XOPEN_SOURCE 700
#define _DARWIN_C_SOURCE
#elif !defined(__FreeBSD__) && !defined(__NetBSD__) && !defined(__OpenBSD__) && \
    !defined(__DragonFly__)
#define _XOPEN_SOURCE 700
#endif
