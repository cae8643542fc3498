// The language of the messages about a product.
#pragma once

#include "install/product.h"

namespace install {

// Messages about a product appear in its language: the thread locale, the thread's UI language
// (which Windows' own buttons follow) and the catalogue's language move together. A value the
// platform refuses leaves them as they were; a neutral language (an empty Language property
// reads as 0) means the user's: LOCALE_USER_DEFAULT, and the user's own interface language.
void UseProductLanguage(const ProductRecord& record);
void UseUserLanguage();

} // namespace install
