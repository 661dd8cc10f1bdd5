// The monitor's string table. The three words of its configuration key's path (514, 512, 513)
// and the device text of the mass-storage port (515) are loaded by number each time they are used.
#include "keldrim.h"

namespace {

constexpr res::String kStrings[] = {
    {IDS_PRODUCT, "Selvane"},           {IDS_VERSION, "2.00"},
    {IDS_COMPANY, "Dorvane"},           {IDS_MASS_STORAGE, "Mass Storage Device"},
    {IDS_MONITOR_NAME, "selvane Port"},
};

constexpr res::Module kModule{kStrings, sizeof kStrings / sizeof kStrings[0]};

const res::Registration kRegistration(&kModule);

} // namespace
