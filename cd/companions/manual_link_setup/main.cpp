// programs\manual_link\setup.exe of the sample CD: the manual-link component's installer.
#include "cd/companions/common/InstallerMain.h"
#include "cd/companions/manual_link_setup/ManualLinkSetup.h"

int main(int argc, char** argv) {
    return marvek::companions::RunInstaller(argc, argv, marvek::companions::ManualLinkSetup);
}
