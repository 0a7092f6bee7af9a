#pragma once
// The question before a save replaces an existing file: one text and title
// for every save. The IGC saves ask it as Yes/No, the others as OK/Cancel.
#include <string>

namespace orlogix {

class Reporter;

enum class OverwriteBox { YesNo, OkCancel };

// Asks "File already exists, overwrite ?"; true when the answer allows it.
bool ask_overwrite(Reporter& r, OverwriteBox box);
// True when nothing is at path yet, or the answer allows replacing it.
bool may_replace(Reporter& r, const std::string& path, OverwriteBox box);

}  // namespace orlogix
