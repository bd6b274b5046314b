// The client of the plain-text web service: a page goes out as the form
// field "text", its plain text comes back.
#pragma once

#include <functional>

#include <QString>

#include "core/htmltotext.h"

namespace corvane {

struct TPlainTextEndpoints {
    QString First;
    QString Second;
};

inline constexpr int PlainTextAttempts = 3;
inline constexpr int PlainTextRetryPauseMs = 1000;
inline constexpr const char *PlainTextErrorPrefix =
    "ERROR: COULD NOT CALL PLAIN-TEXT WEB SERVICE: ";

// Decodes Page as the local extraction does and posts it to the service, up
// to three attempts that alternate between the two endpoints (one selector
// for the whole process, shared by every thread), one second apart. An
// attempt fails on a transfer error or a status other than 2xx.
//
// Code 0: Text is the answer without its blank and byte-order-mark-only
// lines, each remaining line followed by CR LF; the lone answer "1" (no text)
// gives an empty Text. Code -1: every attempt failed, Text is the error
// prefix and the last failure's message.
//
// AbortCheck, when given, is polled during the transfer and the pauses; once
// it holds no further attempt is made (the result is then -1).
TExtractResult GetPlainTextFromService(const QByteArray &Page, const TPlainTextEndpoints &Endpoints,
                                       const std::function<bool()> &AbortCheck = {});

// The answer's clean-up on its own: blank lines and lines holding only a
// byte-order mark dropped, CR LF after each line, "1" meaning no text.
QString CleanPlainTextAnswer(const QString &Answer);

// Puts the endpoint selector back to its start state (the next attempt goes
// to the second endpoint). For tests.
void ResetPlainTextEndpointSelector();

} // namespace corvane
