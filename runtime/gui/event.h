// SPDX-License-Identifier: MIT
// The process-wide event queue and event waiting.
#pragma once

#include <cstdint>

struct BlockPool;

// event_queue_init: create the record pool and the queue's mutex.
// event_post: append an event (merged with an identical tail; dropped while suppressed).
// event_fetch: take the first event as the current event; its type or 0.
// event_peek_type: type of the first queued event, or 0.
// event_wait: fetch, else run the toolkit (timeout ms; <0 = one blocking iteration).
// event_wait_forever: event_wait(-1).
// events_flush: run the toolkit while it has pending work.
// event_purge_window: drop every queued event of a window.
// event_suppress_begin/end: bracket program-made changes so they post nothing.
// event_type/gadget/menu/subtype/window: fields of the current event.
// event_queue_length: number of queued events.
// event_queue_clear: drop every queued event.
// event_pool: the queue's record pool (null before event_queue_init).

enum EventType : int32_t {
  EVENT_MENU = 1,
  EVENT_CLOSE_WINDOW = 2,
  EVENT_GADGET = 3,
  EVENT_REPAINT = 4,
  EVENT_MOVE_WINDOW = 5,
  EVENT_SIZE_WINDOW = 6,
  EVENT_ACTIVATE_WINDOW = 7,
  EVENT_DEACTIVATE_WINDOW = 8,
  EVENT_MINIMIZE_WINDOW = 12,
  EVENT_MAXIMIZE_WINDOW = 13,
  EVENT_RESTORE_WINDOW = 14,
  EVENT_RIGHT_CLICK = 16,
  EVENT_LEFT_CLICK = 17,
  EVENT_LEFT_DOUBLE_CLICK = 18,
  EVENT_MOUSE_MOVE = 24,
};

struct EventRecord {
  EventRecord* next;
  int32_t type;
  int64_t gadget;
  int64_t window;
  int64_t subtype;
};

void event_queue_init();
void event_post(int32_t type, int64_t gadget, int64_t window, int64_t subtype);
int64_t event_fetch();
int64_t event_peek_type();
int64_t event_wait(int32_t timeout_ms);
int64_t event_wait_forever();
void events_flush();
void event_purge_window(int64_t window);
void event_suppress_begin();
void event_suppress_end();
int64_t event_type();
int64_t event_gadget();
int64_t event_menu();
int64_t event_subtype();
int64_t event_window();
int64_t event_queue_length();
void event_queue_clear();
BlockPool* event_pool();
