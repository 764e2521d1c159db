// SPDX-License-Identifier: MIT
// Toolkit start-up and shutdown: locale, GTK with the recursive GDK lock.
#pragma once

// runtime_set_locale: setlocale(LC_ALL, "").
// toolkit_set_args: remember argc/argv for gtk_init (entry point, step 1).
// toolkit_init: lock functions, gdk_threads_init, gtk_init, take the lock (once).
// toolkit_end: leave the toolkit lock if toolkit_init ran.
// toolkit_argc/toolkit_argv: the arguments as gtk_init left them.
// toolkit_is_initialised: whether toolkit_init has run.

void runtime_set_locale();
void toolkit_set_args(int argc, char** argv);
void toolkit_init();
void toolkit_end();
int toolkit_argc();
char** toolkit_argv();
bool toolkit_is_initialised();
