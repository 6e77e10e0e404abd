#pragma once

#include <optional>
#include <QString>

// A secret the command line needs without it having to stand in the arguments, where any user's
// process list shows it. The sources, first that gives one wins:
//   1. the value given on the command line (kept for old scripts);
//   2. the first line of a file (the line break and a carriage return before it are not part of it);
//   3. an environment variable, named by the caller (KYT_PASSWORD for certificates);
//   4. a question on the terminal, typed without echo, when standard input is a terminal.
struct PasswordRequest {
    std::optional<QString> given;
    QString file;
    QString environmentVariable;
    QString prompt; // shown on standard error before the typed password, such as "Password for a.pfx: "
};

struct PasswordAnswer {
    std::optional<QString> password; // none: no source gave one
    QString error;                   // set when a named source failed, such as an unreadable file
};

// `mayAsk` false leaves out the terminal question, for runs where nothing needs the password.
PasswordAnswer obtainPassword(const PasswordRequest& request, bool mayAsk = true);

// Reads one line from standard input with echo off, after writing `prompt` to standard error; none
// when standard input is no terminal or is closed before a line is given.
std::optional<QString> askWithoutEcho(const QString& prompt);
