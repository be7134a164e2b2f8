#pragma once
// One named object as a whole Boost.Serialization XML archive text: the
// standard prologue (signature "serialization::archive" and the archive
// version) around one top-level element. Texts written by older libraries
// (archive version 9) read back. Numbers are written and read in the
// classic locale, whatever the process locale.
//
// Neither function throws: writing gives the empty text on failure, reading
// gives false, and a record may then hold the members read before the
// failure. `Wrapper` is a class with a serialize member whose element names
// are xml_element_name values.

#include "base/DTXmlElementName.h"

#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>

#include <ios>
#include <locale>
#include <sstream>
#include <string>

namespace kestrel {

// What Boost's reader does not check, or cannot read safely: the top-level
// element must carry `name` and no end tag may be longer than
// xml_longest_tag.
bool xml_archive_text_acceptable(const std::string& text, const xml_element_name& name);

template <class Wrapper>
std::string xml_archive_text(const xml_element_name& name, const Wrapper& object) {
    try {
        std::ostringstream stream;
        stream.imbue(std::locale::classic());
        {
            boost::archive::xml_oarchive archive(stream);
            archive << boost::serialization::make_nvp(name.text, object);
        } // closing the archive writes the root's end tag
        return stream.str();
    } catch (...) {
        return std::string();
    }
}

template <class Wrapper>
bool read_xml_archive_text(const std::string& text, const xml_element_name& name,
                           Wrapper& object) {
    try {
        if (!xml_archive_text_acceptable(text, name))
            return false;
        std::istringstream stream(text);
        stream.imbue(std::locale::classic());
        {
            boost::archive::xml_iarchive archive(stream);
            archive >> boost::serialization::make_nvp(name.text, object);
            // The archive's destructor reads the root's end tag and throws
            // (ending the process) when the text stops inside it or before
            // it; on a failed stream it reads nothing. The object is whole.
            stream.setstate(std::ios::failbit);
        }
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace kestrel
