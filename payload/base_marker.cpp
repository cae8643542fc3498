#include "payload/base_marker.h"

#include "payload/resource_store.h"

namespace payload {

bool IsBase() {
    return static_cast<bool>(FindResourceEntry(L"#10", L"CORVATH_SP_BASE"));
}

} // namespace payload
