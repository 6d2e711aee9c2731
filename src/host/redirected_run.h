#pragma once

#include "process/process_executor.h"

class LauncherHost;

// Runs a_request through the host with its redirection files named
// a_request.baseName (a file name), or its output log, beside the
// executable. When they cannot be
// created there (an application folder the user may not write to, such as
// one under Program Files), runs it once more with the same file names in the
// user's temporary folder.
ProcessResult runRedirected(LauncherHost& a_host, ProcessRequest a_request);
