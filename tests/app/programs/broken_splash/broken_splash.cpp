// Nothing but resources; the library needs one symbol to link.
extern "C" __declspec(dllexport) int BrokenSplashMarker(void)
{
    return 1;
}
