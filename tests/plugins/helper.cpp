// plugin_helper.dll: what needs_helper.dll imports from its own folder.
extern "C" __declspec(dllexport) int HelperAnswer() { return 42; }
