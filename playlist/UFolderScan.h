// Folder scanning: compares the registered folders of a play list with the
// disk and proposes new files to add, excluded files that still exist and
// list entries whose files have gone. The result is reviewed by the user
// (the scan result dialog edits its lists) and applied on OK.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TPlayList;

// A full file name and the index of the folder it belongs to.
struct TScanEntry {
    std::string Name;
    int Folder = 0;
};

struct TScanResult {
    std::vector<TScanEntry> AddList;      // new files
    std::vector<TScanEntry> ExcludeList;  // excluded files that still exist
    std::vector<TScanEntry> DeleteList;   // list entries whose files have gone
    std::vector<int> ScannedFolders;
    // Set by the scan when no two entries of the list share a name of the
    // delete list (ignoring case): applying then finds each by its exact
    // path, without comparing it to every entry of its folder.
    bool DeleteNamesUnique = false;
};

// Scans folder `folder` of the list into the result, which may already hold
// the results of other folders; the three lists end up sorted.
void ScanFolder(TPlayList& list, int folder, TScanResult& result);
// Scans every folder of the list, in order, into one result.
void ScanAllFolders(TPlayList& list, TScanResult& result);

// Applies an accepted result: adds the add list (files found on disk: they
// are appended without another look at the disk), replaces the excluded sets
// of the scanned folders by the exclude list and deletes, for every entry of
// the delete list, the first file entry with that path.
void ApplyScanResult(TPlayList& list, const TScanResult& result);

// Shows a result to the user, who may edit it; true for OK.
using TScanReview = std::function<bool(TScanResult& result)>;

// One scan command: folder -1 scans every folder. The result is shown with
// review and applied when it returns true. Returns whether it was applied.
bool RunFolderScan(TPlayList& list, int folder, const TScanReview& review);
