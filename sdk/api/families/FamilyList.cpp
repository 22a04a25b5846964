// The list of families the library knows. A new family adds one entry here (and the shared
// lines docs/adding-a-family.md lists).

#include "sdk/api/families/FamilyDescriptor.hpp"
#include "sdk/api/families/dravik/DravikFamily.hpp"
#include "sdk/api/families/lorrel/LorrelFamily.hpp"
#include "sdk/api/families/morvex/MorvexFamilies.hpp"
#include "sdk/api/families/photostim/PhotoStimFamily.hpp"
#include "sdk/api/families/tessel/TesselFamily.hpp"
#include "sdk/api/families/vondra/VondraFamilies.hpp"

namespace VexaDevice::Api {

// Order counts where two families' rules meet: MorvexBlack's services are looked for before
// Morvex's in a found device's record and before Morvex2's for a family-4 sensor, and a Tessel
// service is looked for only when no other family's service matched the requested family.
const std::vector<const FamilyDescriptor*>& familyDescriptors() {
    static const std::vector<const FamilyDescriptor*> all{
        &morvexBlackFamily(), &morvexFamily(),    &vondraFamily(),  &vondra2Family(), &lorrelFamily(),
        &dravikFamily(),      &photoStimFamily(), &morvex2Family(), &tesselFamily(),
    };
    return all;
}

}  // namespace VexaDevice::Api
