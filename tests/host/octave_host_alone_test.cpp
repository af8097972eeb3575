// The oct-file back end on its own: host/octave_host.h with nothing else of
// the host layer, so that a primitive reaching for what host/host.h derives
// fails to build; and a few of its primitives on Octave values made outside
// the interpreter.
#include "host/octave_host.h"

#include <gtest/gtest.h>

namespace {

void empty_entry(host::Call&) {}

}  // namespace

HOST_ENTRY(empty_module, empty_entry)

namespace {

TEST(OctaveHostAlone, ArraysOfAClassAndDimensions)
{
    const int64_t dimensions[3] = {2, 3, 4};
    for (const host::Fill fill : {host::Fill::zeros, host::Fill::not_needed}) {
        host::Result result =
            host::create_array(host::ArrayClass::uint16, 3, [&](int64_t k) { return dimensions[k]; }, fill);
        static_cast<uint16_t*>(host::raw::data(result))[23] = 7;
        const host::Value array = result.value();
        EXPECT_EQ(host::array_class(array), host::ArrayClass::uint16);
        EXPECT_FALSE(host::is_sparse(array));
        EXPECT_FALSE(host::is_complex(array));
        ASSERT_EQ(host::dimension_count(array), 3);
        for (int64_t k = 0; k < 3; ++k) EXPECT_EQ(host::raw::dimension(array, k), dimensions[k]);
        EXPECT_EQ(host::element_count(array), 24);
        EXPECT_EQ(static_cast<const uint16_t*>(host::raw::data(array))[23], 7);
    }
    host::Result zeros =
        host::create_array(host::ArrayClass::single, 2, [](int64_t k) { return k + 2; }, host::Fill::zeros);
    EXPECT_EQ(host::array_class(zeros.value()), host::ArrayClass::single);
    EXPECT_EQ(static_cast<const float*>(host::raw::data(zeros))[5], 0.0f);
}

TEST(OctaveHostAlone, ClassesOfValues)
{
    EXPECT_EQ(host::array_class(octave_value(1.5)), host::ArrayClass::double_precision);
    EXPECT_EQ(host::array_class(octave_value(Complex(1, 2))), host::ArrayClass::double_precision);
    EXPECT_TRUE(host::is_complex(octave_value(Complex(1, 2))));
    EXPECT_EQ(host::array_class(octave_value(true)), host::ArrayClass::logical);
    EXPECT_EQ(host::array_class(octave_value(octave_int8(3))), host::ArrayClass::int8);
    EXPECT_EQ(host::array_class(octave_value(octave_uint64(3))), host::ArrayClass::uint64);
    EXPECT_EQ(host::array_class(octave_value("text")), host::ArrayClass::text);
    EXPECT_EQ(host::array_class(octave_value(Cell())), host::ArrayClass::cell);
    const octave_value sparse(SparseMatrix(3, 2));
    EXPECT_EQ(host::array_class(sparse), host::ArrayClass::double_precision);
    EXPECT_TRUE(host::is_sparse(sparse));
    EXPECT_FALSE(host::present(octave_value()));
}

TEST(OctaveHostAlone, StructureFieldsAndText)
{
    const char* const names[2] = {"first", "second"};
    host::Result structure = host::create_structure(names, 2);
    host::Result field =
        host::create_array(host::ArrayClass::double_precision, 2, [](int64_t) { return int64_t{1}; }, host::Fill::zeros);
    *static_cast<double*>(host::raw::data(field)) = 2.5;
    host::set_field(structure, "second", field);
    const host::Value value = structure.value();
    EXPECT_EQ(host::array_class(value), host::ArrayClass::structure);
    EXPECT_EQ(host::raw::field_count(value), 2);
    const host::Value second = host::raw::field(value, "second");
    ASSERT_TRUE(host::present(second));
    EXPECT_EQ(*static_cast<const double*>(host::raw::data(second)), 2.5);
    EXPECT_FALSE(host::present(host::raw::field(value, "third")));
    char name[4];
    host::copy_field_name(value, 1, name, sizeof name);
    EXPECT_STREQ(name, "sec");

    const host::Value text("antialiasing");
    char buffer[13];
    EXPECT_FALSE(host::copy_text(text, buffer, 8));
    EXPECT_STREQ(buffer, "antiali");
    EXPECT_TRUE(host::copy_text(text, buffer, 13));
    EXPECT_STREQ(buffer, "antialiasing");
}

TEST(OctaveHostAlone, CallMemoryAndInterruptState)
{
    octave_value_list arguments;
    arguments(0) = octave_value(1.0);
    host::Call call(arguments, 1);
    EXPECT_EQ(call.argument_count(), 1);
    double* memory = call.temporary<double>(4);
    memory[3] = 1.0;

    EXPECT_FALSE(host::signals::interrupt_pending());
    host::signals::set_interrupt_pending(true);
    EXPECT_TRUE(host::signals::interrupt_pending());
    host::signals::set_interrupt_pending(false);
    EXPECT_FALSE(host::signals::interrupt_pending());
    host::signals::clear_caught_signal();
    EXPECT_FALSE(host::signals::signal_caught());
}

}  // namespace
