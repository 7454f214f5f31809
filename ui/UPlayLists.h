// The collection of play lists the main window manages: it owns every list,
// keeps them sorted (temporary lists first), names new temporary lists,
// finds lists by name, reads the list names of the playlist folder at start
// and loads a list from its file the first time it is needed.
//
// A list is temporary when its name, lower-cased, contains "temporary".
// Every temporary list is kept in one file, Temporary.lst, and is recorded
// as "Temporary" when it is the recent list. No Windows API: the rules are
// tested natively.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "playlist/UPlayList.h"

// Name of the list every run starts with, and of the temporary lists' file.
extern const char* const TemporaryListName;  // "Temporary"

// The name lower-cased (ASCII letters, never a trail byte of a double-byte
// character).
std::string LowerListName(const std::string& name);
// Two names of one list file: equal but for letter case, as Windows compares
// file names (FileName::SameFileName: full-width, Greek and Cyrillic letters
// and those of names outside the code page too; a trail byte is never taken
// for a letter).
bool SameListName(const std::string& a, const std::string& b);
bool IsTemporaryName(const std::string& name);
// Sort order: temporary lists first, then the real names in the locale's
// order, ignoring case. Negative, 0 or positive.
int ComparePlayLists(const TPlayList& a, const TPlayList& b);

// Refuses names that would put the list's file outside the playlist folder
// (a "\", "/" or ":"), where the next start would not find it. Raises
// Exception with a message for the user.
void CheckListName(const std::string& name);

class TPlayLists {
public:
    // playListDir: the current playlist folder (ending with "\").
    explicit TPlayLists(TPlayList::TFolderFunc playListDir);
    TPlayLists(const TPlayLists&) = delete;
    TPlayLists& operator=(const TPlayLists&) = delete;

    int Count() const { return static_cast<int>(FLists.size()); }
    TPlayList& Items(int index) const { return *FLists.at(index); }
    int IndexOf(const TPlayList* list) const;

    // A new list of that name (raises the play list's error for a name that
    // cannot be a file name; nothing is inserted then). testName false: the
    // name is known to be good and no file is tested.
    std::unique_ptr<TPlayList> Create(const std::string& name, bool testName = true) const;
    TPlayList& Append(std::unique_ptr<TPlayList> list);
    TPlayList& Append(const std::string& name) { return Append(Create(name)); }
    // Puts list in place of the one at index, which is destroyed.
    TPlayList& Replace(int index, std::unique_ptr<TPlayList> list);
    // Removes and destroys the list at index.
    void Delete(int index);
    void Sort();

    // First index of the list whose file name is name's (SameListName): a
    // list "Foo" is found for "foo". -1 when there is none.
    int FindPlayList(const std::string& name) const;
    // "Temporary N", N one higher than the largest number after the first
    // ten characters of any temporary list's name (a missing or
    // non-numeric rest counts as 1), or the next number after that which no
    // list's name (ignoring case) has.
    std::string NextTemporaryName() const;

    // Playlist folder + name + ".lst".
    std::string PlayListFileName(const TPlayList& list) const;
    // The file a list is saved to: Temporary.lst for every temporary list.
    std::string SaveFileName(const TPlayList& list) const;
    // Saves a list to its save file (creating the folder when missing); a
    // temporary list loses its list-level settings first. A list that is not
    // loaded is never saved: its file (perhaps one that could not be opened)
    // holds more than the list does.
    void SaveList(TPlayList& list) const;
    // Loads the list from its file unless it has been loaded already (a
    // file is read into a list at most once, because reading appends).
    void EnsureLoaded(TPlayList& list) const;
    // The name recorded as the recent list.
    static std::string RecentName(const TPlayList& list);

    // Appends a list (not loaded) for every .lst file of the playlist folder
    // except Temporary.lst and names the collection has already (ignoring
    // case: "Foo.lst" and "foo.lst" are one list), then sorts.
    void LoadPlayListNames();

private:
    TPlayList::TFolderFunc FPlayListDir;
    std::vector<std::unique_ptr<TPlayList>> FLists;
};
