#include "ui/UStandIns.h"

#include <algorithm>

#include "settings/UConfigKeys.h"

namespace StandIn {

TPlayList& TPlayLists::Append(const std::string& name)
{
    FLists.push_back(std::make_unique<TPlayList>(name));
    return *FLists.back();
}

TPlayList* TPlayLists::Find(const std::string& name) const
{
    for (auto& l : FLists)
        if (l->Name() == name) return l.get();
    return nullptr;
}

std::string TPlayLists::NextTemporaryName() const
{
    for (int n = 2;; ++n) {
        std::string name = "Temporary " + std::to_string(n);
        if (!Find(name)) return name;
    }
}

void TPlayLists::Sort()
{
    std::stable_sort(FLists.begin(), FLists.end(), [](auto& a, auto& b) { return a->Name() < b->Name(); });
}

TController::TMovieWindow::TMovieWindow()
{
    TCreateParams p;
    p.ClassName = "TPlayWindow";
    p.Caption = "Movie";
    CreateHandle(p);
}

TController::TController(TForm&) {}

void TController::SetPlayList(TPlayList* list)
{
    FGUI.Clear();
    FCurrent = list;
}

void TController::ApplyEnvironment()
{
    FPlayListDir = PlayListFolder(ReadKey(FGlobal, ConfigKey::PlayListDir), ConfigDir);
}

bool ShowEnvConfigDialog(TSetting&, std::string&) { return false; }

}  // namespace StandIn
