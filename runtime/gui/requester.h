// SPDX-License-Identifier: MIT
// The modal message requester.
#pragma once

#include <cstdint>
#include "runtime/strings/ustring.h"

// requester_message: modal message dialog; returns which button answered it.
// requester_message_plain: requester_message with flags 0 (one OK button, no icon).
// requester_result_for_response: the result for a dialog response.

enum RequesterFlags : int32_t {
  REQUESTER_YES_NO = 0x1,
  REQUESTER_YES_NO_CANCEL = 0x2,
  REQUESTER_INFO = 0x4,
  REQUESTER_ERROR = 0x8,
  REQUESTER_WARNING = 0x10,
};

constexpr int64_t REQUESTER_RESULT_CANCEL = 2;
constexpr int64_t REQUESTER_RESULT_YES = 6;
constexpr int64_t REQUESTER_RESULT_NO = 7;

int64_t requester_message(UString title, UString text, int32_t flags);
int64_t requester_message_plain(UString title, UString text);
int64_t requester_result_for_response(int32_t response);
