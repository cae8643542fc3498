// The security of a file of the run's own in a shared folder (OpenMode::CreateNewOwn), as SDDL.
#pragma once

namespace platform::win32 {

// Protected from inherited entries: SYSTEM and Administrators may do anything, its owner (the
// account that made it) may read and delete it, and nobody else anything. A process of a lower
// standing, the same user's unelevated ones included, can change neither its bytes nor its
// security. An OWNER RIGHTS entry takes the place of the owner's implicit rights, deleting
// included: without SD (DELETE) a run that is not elevated could delete its copy only where the
// folder grants it delete-child, which a folder such as C:\Temp, where users have Modify, does
// not. Deleting or renaming the copy takes nothing from its check: while the run holds it nobody
// may, and the held file is known by its identity.
inline constexpr wchar_t kOwnFileSecurity[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRSD;;;OW)";

} // namespace platform::win32
