#pragma once

#include <string>

#include "settings/Profile.h"

namespace ZEV {

// Walks the key tree below a section of a store, depth first, and hands
// every sub-key it meets to OnFindKey.
class CRegistryWalker {
public:
    // What OnFindKey answers.
    enum EFindResult {
        FIND_ENTER = 0,       // go into this key
        FIND_LEAVE_LEVEL = 1, // skip the remaining keys of this level
        FIND_STOP = 2,        // end the whole walk
    };

    // The store is borrowed and must outlive the walker.
    explicit CRegistryWalker(IProfile& profile);
    virtual ~CRegistryWalker();

    // Answers FIND_STOP when a callback ended the walk, otherwise 0.
    int Walk(const std::string& strSection);

    int GetDepth() const { return m_nDepth; }
    void SetDepth(int nDepth) { m_nDepth = nDepth; }

protected:
    // strSection is the full path of the key; nDepth is 1 for the children
    // of the section the walk started from.
    virtual int OnFindKey(const std::string& strName, const std::string& strSection, int nDepth);

    IProfile& GetProfile() const { return m_profile; }

private:
    IProfile& m_profile;
    int m_nDepth;
};

}  // namespace ZEV
