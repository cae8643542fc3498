#include "resource_tree.h"

#include <algorithm>

namespace corvath::pack {

std::strong_ordering directory_order(const ResourceKey& a, const ResourceKey& b) {
    if (a.is_text() != b.is_text()) {
        return a.is_text() ? std::strong_ordering::less : std::strong_ordering::greater;
    }
    if (a.is_text()) {
        return std::lexicographical_compare_three_way(a.text.begin(), a.text.end(),
                                                      b.text.begin(), b.text.end());
    }
    return a.id <=> b.id;
}

const Resource* find_resource(const ResourceTree& tree, const ResourceKey& type,
                              const ResourceKey& name, std::uint16_t language) {
    const auto found = std::find_if(tree.begin(), tree.end(), [&](const Resource& resource) {
        return resource.type == type && resource.name == name && resource.language == language;
    });
    return found == tree.end() ? nullptr : &*found;
}

Resource* find_resource(ResourceTree& tree, const ResourceKey& type, const ResourceKey& name,
                        std::uint16_t language) {
    return const_cast<Resource*>(
        find_resource(static_cast<const ResourceTree&>(tree), type, name, language));
}

} // namespace corvath::pack
