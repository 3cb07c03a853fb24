/* The event text of the test hook modules; see HookRecorder.h. Bounded: a record that does not
   fit is cut, which makes the comparing test fail rather than overrun. */
#include "HookRecorder.h"

#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static char events[8192];
/* Hooks may be configured from several threads at once. */
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;

void HookRecord(const char* format, ...) {
  pthread_mutex_lock(&lock);
  size_t used = strlen(events);
  va_list args;
  va_start(args, format);
  vsnprintf(events + used, sizeof events - used, format, args);
  va_end(args);
  used = strlen(events);
  if (used + 1 < sizeof events) strcat(events, ";");
  pthread_mutex_unlock(&lock);
}

const char* HookEvents(void) { return events; }

void HookClearEvents(void) {
  pthread_mutex_lock(&lock);
  events[0] = '\0';
  pthread_mutex_unlock(&lock);
}
