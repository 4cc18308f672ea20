/* Loads a DLL by its bare name with the default search order, as a program
   that takes no care would: the control that shows a DLL planted beside a
   program is picked up at all. Exit code 0 when it loaded. */
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    return LoadLibraryW(argv[1]) ? 0 : 1;
}
