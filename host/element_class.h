// The classes of the arrays the image modules read and write as plain
// arrays of one C++ element type, and the switch from such a class to its
// type, written once for every entry that takes images.
#pragma once

#include <cstdint>

namespace host {

// The class of a real dense array, as element_class (host/host.h) gives it;
// other for every other class and for complex or sparse arrays.
enum class ElementClass { uint8, uint16, int16, single, double_precision, logical, other };

// Whether an entry takes logical images besides the numeric classes.
enum class LogicalImages { refused, accepted };

// Whether an entry that takes `logical` images takes an image of this class.
constexpr bool is_image_class(ElementClass element_class, LogicalImages logical)
{
    return element_class != ElementClass::other &&
           (element_class != ElementClass::logical || logical == LogicalImages::accepted);
}

// The C++ element type E, as a value the visitor of visit_element_type takes.
template <class E>
struct ElementType {
    using type = E;
};

// Calls visit(ElementType<E>()) with E the C++ element type of an image
// class: uint8_t, uint16_t, int16_t, float, double, and bool for logical
// when the entry takes logical images (otherwise visit is never made for
// bool). Nothing is called for a class the entry does not take.
template <LogicalImages logical, class Visitor>
void visit_element_type(ElementClass element_class, const Visitor& visit)
{
    switch (element_class) {
    case ElementClass::uint8:
        visit(ElementType<uint8_t>());
        break;
    case ElementClass::uint16:
        visit(ElementType<uint16_t>());
        break;
    case ElementClass::int16:
        visit(ElementType<int16_t>());
        break;
    case ElementClass::single:
        visit(ElementType<float>());
        break;
    case ElementClass::double_precision:
        visit(ElementType<double>());
        break;
    case ElementClass::logical:
        if constexpr (logical == LogicalImages::accepted) visit(ElementType<bool>());
        break;
    case ElementClass::other:
        break;
    }
}

}  // namespace host
