// The MEX back end on its own: host/mex_host.h with nothing else of the host
// layer, so that a primitive reaching for what host/host.h derives fails to
// build; and a few of its primitives on arrays made outside a call, as
// Octave's MEX interface allows.
#include "host/mex_host.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

void empty_entry(host::Call&) {}

}  // namespace

HOST_ENTRY(empty_module, empty_entry)

namespace {

TEST(MexHostAlone, ArraysOfAClassAndDimensions)
{
    const int64_t dimensions[3] = {2, 3, 4};
    host::Result result =
        host::create_array(host::ArrayClass::uint16, 3, [&](int64_t k) { return dimensions[k]; }, host::Fill::zeros);
    const host::Value array = result.array();
    EXPECT_EQ(host::array_class(array), host::ArrayClass::uint16);
    EXPECT_FALSE(host::is_sparse(array));
    EXPECT_FALSE(host::is_complex(array));
    ASSERT_EQ(host::dimension_count(array), 3);
    for (int64_t k = 0; k < 3; ++k) EXPECT_EQ(host::raw::dimension(array, k), dimensions[k]);
    EXPECT_EQ(host::element_count(array), 24);
    EXPECT_EQ(host::raw::data(array), host::raw::data(result));
    EXPECT_EQ(static_cast<const uint16_t*>(host::raw::data(array))[23], 0);

    host::Result logical =
        host::create_array(host::ArrayClass::logical, 2, [](int64_t) { return int64_t{1}; }, host::Fill::zeros);
    EXPECT_EQ(host::array_class(logical.array()), host::ArrayClass::logical);
    mxDestroyArray(result.array());
    mxDestroyArray(logical.array());
}

TEST(MexHostAlone, StructureFieldsAndText)
{
    const char* const names[2] = {"first", "second"};
    host::Result structure = host::create_structure(names, 2);
    host::Result field =
        host::create_array(host::ArrayClass::double_precision, 2, [](int64_t) { return int64_t{1}; }, host::Fill::zeros);
    host::set_field(structure, "second", field);
    const host::Value value = structure.array();
    EXPECT_EQ(host::array_class(value), host::ArrayClass::structure);
    EXPECT_EQ(host::raw::field_count(value), 2);
    EXPECT_EQ(host::raw::field(value, "second"), field.array());
    EXPECT_FALSE(host::present(host::raw::field(value, "third")));
    char name[4];
    host::copy_field_name(value, 1, name, sizeof name);
    EXPECT_STREQ(name, "sec");
    mxDestroyArray(structure.array());

    mxArray* text = mxCreateString("antialiasing");
    EXPECT_EQ(host::array_class(text), host::ArrayClass::text);
    char buffer[13];
    EXPECT_FALSE(host::copy_text(text, buffer, 8));
    EXPECT_STREQ(buffer, "antiali");
    EXPECT_TRUE(host::copy_text(text, buffer, 13));
    EXPECT_STREQ(buffer, "antialiasing");
    mxDestroyArray(text);
}

// Found in liboctave, which this test links, as in Octave.
TEST(MexHostAlone, InterruptStateOfTheHost)
{
    host::signals::look_up();
    EXPECT_FALSE(host::signals::interrupt_pending());
    host::signals::set_interrupt_pending(true);
    EXPECT_TRUE(host::signals::interrupt_pending());
    host::signals::set_interrupt_pending(false);
    EXPECT_FALSE(host::signals::interrupt_pending());
    EXPECT_FALSE(host::signals::interrupt_being_handled());
    host::signals::clear_caught_signal();
    EXPECT_FALSE(host::signals::signal_caught());
}

}  // namespace
