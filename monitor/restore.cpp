// Where the box stands after a job. When the device port stored as "ActivePort" in the monitor's
// configuration key holds the mass-storage device, the box goes back to it: the storage device is
// connected again after every print job. Otherwise the box stays on the printer, and the printed
// port becomes the stored "ActivePort". Every job end reads the key afresh; nothing is kept.
#include "keldrim.h"

#include "config_key.h"
#include "switch_command.h"

#include <cstring>

BOOL RestoreAfterJob(PortEntry* entry) {
    char path[256];
    BuildConfigKeyPath(g_instance, "Software\\", IDS_COMPANY, IDS_PRODUCT, IDS_VERSION, path,
                       sizeof path);

    DWORD stored = 0;
    bool haveStored =
        ReadConfigValue(HKEY_LOCAL_MACHINE, path, CONFIG_ACTIVE_PORT,
                        reinterpret_cast<LPBYTE>(&stored), sizeof stored) == ERROR_SUCCESS;
    char device[128] = "";
    if (haveStored && stored <= 3) {
        char valueName[] = "PA Spooler";
        valueName[1] = static_cast<char>('A' + stored);
        ReadConfigText(HKEY_LOCAL_MACHINE, path, valueName, device, sizeof device);
    }

    char massStorage[128];
    LoadStringA(g_instance, IDS_MASS_STORAGE, massStorage, sizeof massStorage);
    if (std::strcmp(device, massStorage) == 0 && massStorage[0]) {
        SendSwitchCommand(MakeSwitchCommand(entry->command[0], static_cast<SwitchPort>(stored)));
        return TRUE;
    }

    // The printed port's letter: the ninth character of "LPx1-  PA (selvane)".
    char letter = std::strlen(entry->name) > 8 ? entry->name[8] : '\0';
    if (letter >= 'A' && letter <= 'D') {
        DWORD printed = static_cast<DWORD>(letter - 'A');
        WriteConfigDword(HKEY_LOCAL_MACHINE, path, CONFIG_ACTIVE_PORT,
                         reinterpret_cast<const BYTE*>(&printed), sizeof printed);
    } else if (haveStored) {
        WriteConfigDword(HKEY_LOCAL_MACHINE, path, CONFIG_ACTIVE_PORT,
                         reinterpret_cast<const BYTE*>(&stored), sizeof stored);
    }
    return TRUE;
}
