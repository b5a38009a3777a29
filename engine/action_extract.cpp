#include "engine/action_extract.h"

#include <vector>

#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "engine/installer_script.h"
#include "platform/seams.h"

namespace uinst {

void TInstallerActionExtract::Execute() {
    SetStatus(GetCommonText(u"A4"));
    const String family = Resources().GetLanguageFamily();
    std::vector<const TInstallerScriptFile*> files;
    for (const auto& entry : Script().Components())
        if (entry->AppliesTo(family)) files.push_back(entry.get());
    const int count = static_cast<int>(files.size());
    for (int i = 0; i < count; ++i) {
        SetProgress((i + 1) * 100 / count);
        ExtractFile(*files[static_cast<size_t>(i)]);
        if (i == count / 2) Seams().Checkpoint(u"extracting");
    }
    Seams().Checkpoint(u"extracted");
    SetStatus(GetCommonText(u"A7"));
    RegisterUninstaller(Installer->DestPath(), files);
    Seams().Checkpoint(u"registered");
}

}  // namespace uinst
