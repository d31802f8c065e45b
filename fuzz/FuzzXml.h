#pragma once
// Feeds a fuzz input as one XML document to a handler, as the dialogs do. A
// refused document must always say why.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/xml/XQSax.h"

inline void FuzzParse(SAXContentHandlerImpl& handler, const uint8_t* data, size_t size) {
    CXQSAXReader reader;
    reader.putContentHandler(&handler);
    if (!reader.parse(std::string(reinterpret_cast<const char*>(data), size)) &&
        reader.ErrorText().IsEmpty())
        std::abort();
}
