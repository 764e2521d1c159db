// SPDX-License-Identifier: MIT
// The process-wide event queue: records from a BlockPool in a singly linked FIFO,
// guarded by one recursive mutex; the current event is what event_fetch took last.

#include "runtime/gui/event.h"

#include "runtime/gui/registry.h"

#include <gtk/gtk.h>
#include <pthread.h>
#include <sys/time.h>

#include <ctime>

namespace {

// Statically initialised, so the queue's lock is valid even before event_queue_init.
pthread_mutex_t g_queue_mutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
BlockPool* g_pool = nullptr;
EventRecord* g_head = nullptr;
EventRecord* g_tail = nullptr;
int32_t g_suppress = 0;

struct CurrentEvent {
  int32_t type;
  int64_t gadget;
  int64_t window;
  int64_t subtype;
};
CurrentEvent g_current{};

class QueueLock {
 public:
  QueueLock() { pthread_mutex_lock(&g_queue_mutex); }
  ~QueueLock() { pthread_mutex_unlock(&g_queue_mutex); }
  QueueLock(const QueueLock&) = delete;
  QueueLock& operator=(const QueueLock&) = delete;
};

int64_t elapsed_ms(const timeval& from, const timeval& to) {
  return (static_cast<int64_t>(to.tv_sec) - from.tv_sec) * 1000 + (static_cast<int64_t>(to.tv_usec) - from.tv_usec) / 1000;
}

int64_t fetch_or_minus_one() {
  const int64_t type = event_fetch();
  return type != 0 ? type : -1;
}

}  // namespace

void event_queue_init() {
  QueueLock guard;
  if (g_pool) return;
  g_pool = pool_new(sizeof(EventRecord), 16, 256, POOL_UNLOCKED);
  // One record is taken and kept for good, so the pool's first block never goes
  // back to the heap and steady posting allocates nothing.
  pool_alloc(g_pool);
}

void event_post(int32_t type, int64_t gadget, int64_t window, int64_t subtype) {
  QueueLock guard;
  if (g_suppress != 0) return;
  if (!g_pool) event_queue_init();
  if (g_tail && type <= 65535 && g_tail->type == type && g_tail->gadget == gadget && g_tail->window == window &&
      g_tail->subtype == subtype) {
    return;
  }
  auto* record = static_cast<EventRecord*>(pool_alloc(g_pool));
  if (!record) return;
  record->next = nullptr;
  record->type = type;
  record->gadget = gadget;
  record->window = window;
  record->subtype = subtype;
  if (g_tail) g_tail->next = record;
  else g_head = record;
  g_tail = record;
}

int64_t event_fetch() {
  QueueLock guard;
  g_current.type = 0;
  g_current.subtype = -1;
  if (EventRecord* record = g_head) {
    g_current.type = record->type;
    g_current.gadget = record->gadget;
    g_current.window = record->window;
    g_current.subtype = record->subtype;
    g_head = record->next;
    if (record == g_tail) g_tail = nullptr;
    pool_free(g_pool, record);
  }
  return g_current.type;
}

int64_t event_peek_type() {
  QueueLock guard;
  return g_head ? g_head->type : 0;
}

int64_t event_wait(int32_t timeout_ms) {
  if (const int64_t type = event_fetch()) return type;
  if (timeout_ms < 0) {
    gtk_main_iteration();
    return fetch_or_minus_one();
  }
  if (timeout_ms > 0) {
    timeval start{};
    gettimeofday(&start, nullptr);
    while (!gtk_events_pending()) {
      const timespec pause{0, 2000000};
      nanosleep(&pause, nullptr);
      timeval now{};
      gettimeofday(&now, nullptr);
      if (elapsed_ms(start, now) > timeout_ms) break;
    }
  }
  if (gtk_events_pending()) {
    gtk_main_iteration_do(FALSE);
    return fetch_or_minus_one();
  }
  return event_fetch();
}

int64_t event_wait_forever() { return event_wait(-1); }

void events_flush() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

void event_purge_window(int64_t window) {
  QueueLock guard;
  EventRecord* kept_tail = nullptr;
  EventRecord* record = g_head;
  g_head = nullptr;
  while (record) {
    EventRecord* next = record->next;
    if (record->window == window) {
      pool_free(g_pool, record);
    } else {
      record->next = nullptr;
      if (kept_tail) kept_tail->next = record;
      else g_head = record;
      kept_tail = record;
    }
    record = next;
  }
  g_tail = kept_tail;
}

void event_suppress_begin() {
  QueueLock guard;
  ++g_suppress;
}

void event_suppress_end() {
  QueueLock guard;
  // An unmatched end must not leave the count negative (which would suppress forever).
  if (g_suppress > 0) --g_suppress;
}

int64_t event_type() { return g_current.type; }
int64_t event_gadget() { return g_current.gadget; }
int64_t event_menu() { return g_current.gadget; }
int64_t event_subtype() { return g_current.subtype; }
int64_t event_window() { return g_current.window; }

int64_t event_queue_length() {
  QueueLock guard;
  int64_t n = 0;
  for (EventRecord* r = g_head; r; r = r->next) ++n;
  return n;
}

void event_queue_clear() {
  QueueLock guard;
  while (g_head) {
    EventRecord* next = g_head->next;
    pool_free(g_pool, g_head);
    g_head = next;
  }
  g_tail = nullptr;
}

BlockPool* event_pool() { return g_pool; }
