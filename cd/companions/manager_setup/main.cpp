// programs\man_manager\<language>\setup.exe of the sample CD: the manual manager's installer.
#include "cd/companions/common/InstallerMain.h"
#include "cd/companions/manager_setup/ManagerSetup.h"

int main(int argc, char** argv) {
    return marvek::companions::RunInstaller(argc, argv, marvek::companions::ManagerSetup);
}
