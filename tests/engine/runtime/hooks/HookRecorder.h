/* What the test hook modules did, in order, as one text the tests compare: each call appends
   "event;" to it. Shared by the modules and the test program through one shared library. */
#ifndef VIDORANT_TESTS_HOOKRECORDER_H
#define VIDORANT_TESTS_HOOKRECORDER_H

#ifdef __cplusplus
extern "C" {
#endif

void HookRecord(const char* format, ...) __attribute__((format(printf, 1, 2)));
const char* HookEvents(void);
void HookClearEvents(void);

#ifdef __cplusplus
}
#endif

#endif
