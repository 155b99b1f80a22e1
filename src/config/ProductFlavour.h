// Setting ProductFlavour from the text of key 2001 (read with productFlavour(), declared
// with the start-up environment).
#pragma once
#include <string_view>

namespace karvo {

// The first character of the key's text; NUL when the text is empty.
void setProductFlavour(std::string_view flavourKey);

}  // namespace karvo
