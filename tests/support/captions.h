// The captions of the program's pages, dialogs and message boxes, as the
// user reads them. Tests find every window by its caption, in the program's
// own process and from outside it alike.
#pragma once

const char WELCOME[] = "Welcome!";
const char ABOUT[] = "About Ostrel VST Adapter";
const char PATHS[] = "VST Plug-In Search Paths";
const char RESET[] = "Reset VST Adapter Configuration";
// The options dialog, for one plug-in or for the defaults.
const char OPTIONS[] = "VST Plug-In";
const char PROGRESS[] = "Scanning for VST plug-ins...";
const char LOAD_ERROR[] = "VST Plug-in Load Error";
const char HANG[] = "VST Plug-in Not Responding";
const char LIST[] = "VST Plug-In Configuration";
const char PROPERTIES[] = "Properties";
const char REPORT[] = "Other Files";
// The notice while the adapter library registers.
const char NOTICE[] = "Registering VST plug-ins with your system";
const char FINISHED[] = "Finished";
const char EXCEPTION[] = "Tandrel - Exception";
// Every message box.
const char MESSAGE[] = "Ostrel VST Adapter Error";
