// How a session ends when something it must write cannot be written: one line on standard
// error and exit status 1, after which nothing claims the session went well.
#pragma once

[[noreturn]] void fail_session(const char* format, ...) __attribute__((format(printf, 1, 2)));

// True once fail_session has run; the exit routines then stay quiet.
bool session_failed();
