// Links the Windows shell code into a program, so that a missing symbol or library shows up.
#include "ShowItemsInFolder.h"

int main()
{
    std::vector<ShellFolder> folders(1);
    folders[0].folder = {"C:\\Temp", "C:/Temp"};
    folders[0].files.push_back({"C:\\Temp\\a b.txt", "C:/Temp/a b.txt"});
    ShowItemsInFolders(folders);
    return 0;
}
