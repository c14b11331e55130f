#include "library/model/class_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "library/model/error.h"
#include "library/model/items.h"

namespace {
using namespace dl::model;

int g_live_objects = 0;

// A configurable item of the kind rules build: an integer, a boolean, and a
// record of every SetParam call.
class TTestOperation : public ObjectClass<TTestOperation, TAbstractItem, L"TTestOperation"> {
 public:
  TTestOperation() { ++g_live_objects; }
  ~TTestOperation() override { --g_live_objects; }

  bool init_ran_before_params = false;
  int count = 0;
  bool flag = false;
  std::vector<std::pair<std::wstring, std::wstring>> calls;

 protected:
  void InitObject() override { init_ran_before_params = calls.empty(); }
  void SetParam(const std::wstring& name, const Variant& value) override {
    TAbstractItem::SetParam(name, value);
    calls.emplace_back(name, value.AsString());
    if (name == L"count") count = value.AsInteger();
    if (name == L"flag") flag = value.AsBoolean();
  }
};

class TTestSubOperation : public ObjectClass<TTestSubOperation, TTestOperation, L"TTestSubOperation"> {
 public:
  TTestSubOperation() = default;
};

class TTestAbstract : public ObjectClass<TTestAbstract, TAbstractItem, L"TTestAbstract"> {
 public:
  virtual void Run() = 0;
};

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeClassesRegistry();
    RegisterObjectClass<TTestOperation>(L"OPERATION");
    RegisterObjectClass<TTestSubOperation>(L"SUBOPERATION");
    RegisterObjectClass<TTestAbstract>(L"ABSTRACT");
  }
  void TearDown() override { FreeClassesRegistry(); }
};

TEST_F(RegistryTest, LookupIgnoresCaseButNotBlanks) {
  EXPECT_EQ(FindObjectClass(L"OPERATION"), &TTestOperation::kClass);
  EXPECT_EQ(FindObjectClass(L"operation"), &TTestOperation::kClass);
  EXPECT_EQ(FindObjectClass(L"OpErAtIoN"), &TTestOperation::kClass);
  EXPECT_EQ(FindObjectClass(L" OPERATION"), nullptr);
  EXPECT_EQ(FindObjectClass(L"NOSUCH"), nullptr);
  EXPECT_EQ(FindObjectClass(L""), nullptr);
}

TEST_F(RegistryTest, DuplicateRegistrationRaisesTheHashListError) {
  try {
    RegisterObjectClass<TTestSubOperation>(L"Operation");
    FAIL() << "no error";
  } catch (const EElHashListError& e) {
    EXPECT_EQ(e.Message(), L"InsertItem. Duplicate entry: hash string Operation");
    EXPECT_STREQ(e.what(), "InsertItem. Duplicate entry: hash string Operation");
  }
  // The first registration stands.
  EXPECT_EQ(FindObjectClass(L"OPERATION"), &TTestOperation::kClass);
}

TEST_F(RegistryTest, CreateFromSpecBuildsNamedObjects) {
  auto object = CreateObjectFromSpec(L"operation{\\name=X\\count=7}");
  ASSERT_TRUE(object);
  auto item = object.As<IItem>();
  ASSERT_TRUE(item);
  EXPECT_EQ(item->GetName(), L"X");
  auto* op = dynamic_cast<TTestOperation*>(object.Get());
  ASSERT_NE(op, nullptr);
  EXPECT_TRUE(op->init_ran_before_params);
  EXPECT_EQ(op->count, 7);

  auto bare = CreateObjectFromSpec(L"OPERATION");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare.As<IItem>()->GetName(), L"");

  EXPECT_FALSE(CreateObjectFromSpec(L"NOSUCH{\\name=X}"));
  EXPECT_FALSE(CreateObjectFromSpec(L""));
  EXPECT_FALSE(CreateObjectFromSpec(L"{\\name=X}"));
  EXPECT_FALSE(CreateObjectFromSpec(L"ABSTRACT{\\name=X}"));  // cannot be instantiated
}

TEST_F(RegistryTest, SpecParametersEndBeforeTheLastCharacterWhateverItIs) {
  struct Case {
    const wchar_t* spec;
    const wchar_t* name;
  };
  const Case cases[] = {
      {L"OPERATION{\\name=X}", L"X"},
      {L"OPERATION{\\name=XY", L"X"},     // last character dropped unchecked
      {L"OPERATION{", L""},
      {L"OPERATION{}", L""},
      {L"OPERATION{\\name={a\\b}}", L"a\\b"},
  };
  for (const auto& c : cases) {
    auto object = CreateObjectFromSpec(c.spec);
    ASSERT_TRUE(object) << c.spec;
    EXPECT_EQ(object.As<IItem>()->GetName(), c.name) << c.spec;
  }
}

TEST_F(RegistryTest, EveryOccurrenceReachesSetParamInOrder) {
  auto object = CreateObjectByClassName(L"\\n=1\\flag\\=x\\n=2\\count=3\\count=-1", L"Operation");
  ASSERT_TRUE(object);
  auto* op = dynamic_cast<TTestOperation*>(object.Get());
  ASSERT_NE(op, nullptr);
  const std::vector<std::pair<std::wstring, std::wstring>> expected{
      {L"n", L"1"}, {L"n", L"2"}, {L"count", L"3"}, {L"count", L"-1"}};
  EXPECT_EQ(op->calls, expected);
  EXPECT_EQ(op->count, -1);
  // Keys are matched exactly by SetParam.
  auto other = CreateObjectByClassName(L"\\Name=Upper", L"OPERATION");
  EXPECT_EQ(other.As<IItem>()->GetName(), L"");
}

TEST_F(RegistryTest, ConversionErrorDestroysTheHalfBuiltObject) {
  struct Case {
    const wchar_t* params;
    const wchar_t* message;
  };
  const Case cases[] = {
      {L"\\name=X\\count=seven", L"'seven' is not a valid integer value"},
      {L"\\count=99999999999", L"'99999999999' is not a valid integer value"},
      {L"\\flag=maybe", L"'maybe' is not a valid boolean value"},
  };
  for (const auto& c : cases) {
    const int live_before = g_live_objects;
    try {
      auto object = CreateObjectByClassName(c.params, L"OPERATION");
      ADD_FAILURE() << "no error for " << c.params;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(g_live_objects, live_before) << c.params;
  }
}

TEST_F(RegistryTest, BooleanAndIntegerTextRules) {
  struct Case {
    const wchar_t* params;
    bool flag;
    int count;
  };
  const Case cases[] = {
      {L"\\flag=-1\\count=-1", true, -1},
      {L"\\flag=0\\count=0", false, 0},
      {L"\\flag=TRUE\\count=$10", true, 16},
      {L"\\flag=false\\count=0x7FFFFFFF", false, 0x7FFFFFFF},
      {L"\\flag=2.5\\count=-2147483648", true, -2147483647 - 1},
  };
  for (const auto& c : cases) {
    auto object = CreateObjectByClassName(c.params, L"OPERATION");
    auto* op = dynamic_cast<TTestOperation*>(object.Get());
    ASSERT_NE(op, nullptr) << c.params;
    EXPECT_EQ(op->flag, c.flag) << c.params;
    EXPECT_EQ(op->count, c.count) << c.params;
  }
}

TEST_F(RegistryTest, ClassReferencesKnowTheirAncestry) {
  auto sub = CreateObjectFromSpec(L"SUBOPERATION{\\name=S}");
  ASSERT_TRUE(sub);
  auto item = sub.As<IItem>();
  EXPECT_TRUE(item->IsObjectOfClass(&TTestSubOperation::kClass));
  EXPECT_TRUE(item->IsObjectOfClass(&TTestOperation::kClass));
  EXPECT_TRUE(item->IsObjectOfClass(&TAbstractItem::kClass));
  EXPECT_TRUE(item->IsObjectOfClass(&TAbstractObject::kClass));
  EXPECT_FALSE(item->IsObjectOfClass(&TTestAbstract::kClass));
  EXPECT_FALSE(item->IsObjectOfClass(nullptr));
  auto op = CreateObjectFromSpec(L"OPERATION");
  EXPECT_FALSE(op.As<IItem>()->IsObjectOfClass(&TTestSubOperation::kClass));
}

TEST(Registry, FindWithoutARegistryFindsNothing) {
  FreeClassesRegistry();
  EXPECT_EQ(FindObjectClass(L"OPERATION"), nullptr);
  EXPECT_FALSE(CreateObjectFromSpec(L"OPERATION{\\name=X}"));
}

}  // namespace
