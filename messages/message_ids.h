// Ids of the message catalogue's entries in the string table.
#pragma once

namespace messages {

enum MessageId : unsigned {
    kNoMessage = 0,            // nothing to show
    kInstallFailed = 300,      // %d: the error code
    kInstallSucceeded = 301,   // (Polish: %s, the product name)
    kNotNecessary = 306,       // %s: the product name
    kNoTargetProduct = 307,    //
    kWrongVersion = 308,       // %s: the product name
    kBadCommandLine = 309,     // a refused command line
    kNoPatchList = 310,        //
    kCaptionError = 311,       //
    kCaptionSuccess = 312,     //
    kCaptionUnnecessary = 313, //
    kProgramsRunning = 315,    // %s: the program list, %s: empty
    kFilesInUseText = 316,     // handed to Windows Installer
    kHelp = 317,               // the help of /? and /h: what a plain run does, the first switches
    kRemoved = 318,            // /uninstall removed the patch from a product
    kRemovalFailed = 319,      // %d: the error code
    kNotInstalled = 320,       // /uninstall found the patch applied nowhere
    kCaptionRemoval = 321,     //
    kHelpMore = 322,           // the help's other switches, and that nothing else is accepted
    kHelpPack = 323,           // %s: target version, patch code, default log, SYSTEM's Temp
    kTargetVersion = 700,      // the version the pack brings, US English only
    kPatchDigest = 701,        // the embedded patch's SHA-256, taken at build time; US English only
    kPatchCode = 702,          // the embedded patch's code, read at build time; US English only
    kApplicableVersions =
        900, // versions the pack applies to, each followed by ",", US English only
};

// Catalogue texts are read with this capacity, so a text is at most 255 characters.
constexpr int kCatalogueCapacity = 256;
// The help is longer: entries read with this capacity, shown one after the other, a line apart;
// only kHelpPack is formatted, and no part grows past this capacity.
constexpr int kHelpCapacity = 1024;
constexpr MessageId kHelpParts[] = {kHelp, kHelpMore, kHelpPack};

} // namespace messages
