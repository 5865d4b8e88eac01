// A library a fixture plug-in imports, kept out of the plug-in's folder.
extern "C" __declspec(dllexport) int MissingHelperValue()
{
    return 1;
}
