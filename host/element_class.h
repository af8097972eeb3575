// The classes of the arrays the image modules read and write as plain
// arrays of one C++ element type, and the switch from such a class to its
// type, written once for every entry that takes images.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace host {

// The class of a real dense array, as element_class (host/host.h) gives it;
// other for every other class and for complex or sparse arrays.
enum class ElementClass { uint8, uint16, int16, int8, int32, uint32, single, double_precision, logical, other };

// The image classes an entry takes, as a set.
enum class ImageClasses : uint32_t {};

constexpr ImageClasses image_classes(std::initializer_list<ElementClass> classes)
{
    uint32_t bits = 0;
    for (const ElementClass element_class : classes) {
        if (element_class != ElementClass::other) bits |= uint32_t{1} << static_cast<uint32_t>(element_class);
    }
    return static_cast<ImageClasses>(bits);
}

// Whether an entry that takes `classes` takes an image of this class.
constexpr bool is_image_class(ElementClass element_class, ImageClasses classes)
{
    return element_class != ElementClass::other &&
           (static_cast<uint32_t>(classes) >> static_cast<uint32_t>(element_class) & 1u) != 0;
}

// The C++ element type E, as a value the visitor of visit_element_type takes.
template <class E>
struct ElementType {
    using type = E;
};

// Calls visit(ElementType<E>()) with E the C++ element type of an image
// class: uint8_t, uint16_t, int16_t, int8_t, int32_t, uint32_t, float,
// double, and bool for logical. visit is made (and instantiated) only for
// the classes the entry takes; nothing is called for the others.
template <ImageClasses classes, class Visitor>
void visit_element_type(ElementClass element_class, const Visitor& visit)
{
    switch (element_class) {
    case ElementClass::uint8:
        if constexpr (is_image_class(ElementClass::uint8, classes)) visit(ElementType<uint8_t>());
        break;
    case ElementClass::uint16:
        if constexpr (is_image_class(ElementClass::uint16, classes)) visit(ElementType<uint16_t>());
        break;
    case ElementClass::int16:
        if constexpr (is_image_class(ElementClass::int16, classes)) visit(ElementType<int16_t>());
        break;
    case ElementClass::int8:
        if constexpr (is_image_class(ElementClass::int8, classes)) visit(ElementType<int8_t>());
        break;
    case ElementClass::int32:
        if constexpr (is_image_class(ElementClass::int32, classes)) visit(ElementType<int32_t>());
        break;
    case ElementClass::uint32:
        if constexpr (is_image_class(ElementClass::uint32, classes)) visit(ElementType<uint32_t>());
        break;
    case ElementClass::single:
        if constexpr (is_image_class(ElementClass::single, classes)) visit(ElementType<float>());
        break;
    case ElementClass::double_precision:
        if constexpr (is_image_class(ElementClass::double_precision, classes)) visit(ElementType<double>());
        break;
    case ElementClass::logical:
        if constexpr (is_image_class(ElementClass::logical, classes)) visit(ElementType<bool>());
        break;
    case ElementClass::other:
        break;
    }
}

}  // namespace host
