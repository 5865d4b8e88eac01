// Exception codes the wizard itself raises inside the plug-in trap region
// when it takes a plug-in out of its probe. The trap region answers them as
// it answers a plug-in's own fault; the codes tell the two apart afterwards.
#pragma once

// The plug-in asked to end the process (exit, abort, ExitProcess...).
#define EXCEPTION_PLUGIN_EXITED   0xE0504C58u
// The plug-in did not return in time and the user chose to skip it.
#define EXCEPTION_PLUGIN_SKIPPED  0xE0504C53u
