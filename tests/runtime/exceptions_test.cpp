#include "runtime/exceptions.h"

#include <gtest/gtest.h>

#include "platform/kernel/kernel.h"
#include "runtime/persistent.h"

namespace {

TEST(Exceptions, HierarchyLetsCallersCatchByFamily) {
  // The JPEG layer's failures are image failures; stream failures share one base.
  EXPECT_THROW(throw EJPEG("JPEG error #42"), EInvalidGraphic);
  EXPECT_THROW(throw EFOpenError("x"), EStreamError);
  EXPECT_THROW(throw EWriteError("x"), EStreamError);
  EXPECT_THROW(throw EAbort(), Exception);
  try {
    throw EJPEG("JPEG error #53");
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), "EJPEG");
    EXPECT_EQ(e.Message(), "JPEG error #53");
  }
}

TEST(Exceptions, OSErrorCarriesCodeAndSystemText) {
  try {
    RaiseOSError(win::ERROR_ACCESS_DENIED);
    FAIL();
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(e.Message(), "System Error.  Code: 5.\r\n" + SysErrorMessage(5));
    EXPECT_FALSE(SysErrorMessage(5).empty());
  }
}

TEST(Exceptions, OutOfResourcesFallsBackWhenTheSystemSaysNothing) {
  win::SetLastError(0x7FFF0000);  // a number with no text
  try {
    RaiseOutOfResources();
    FAIL();
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), "Out of system resources");
  }
  win::SetLastError(win::ERROR_NOT_ENOUGH_MEMORY);
  try {
    RaiseOutOfResources();
    FAIL();
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), SysErrorMessage(win::ERROR_NOT_ENOUGH_MEMORY));
  }
}

class TThing : public TPersistent {
 public:
  const char* ClassName() const override { return "TThing"; }
};
class TOther : public TPersistent {
 public:
  const char* ClassName() const override { return "TOther"; }
};

TEST(Persistent, UnsupportedAssignmentNamesBothClasses) {
  TThing thing;
  TOther other;
  try {
    thing.CopyFrom(&other);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TOther to a TThing");
  }
  try {
    thing.CopyFrom(nullptr);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TThing");
  }
}

}  // namespace
