// AppData, the flavour's file-part field name, and first use from two threads.
#include <gtest/gtest.h>

#include <thread>

#include "support/AppData.h"

namespace {

TEST(AppData, StoresTheImageTypeLowerCasedAndNamesTheUpload) {
    AppData& data = AppData::Instance();
    EXPECT_EQ(data.GetJpegQuality(), 100);
    data.SetImageType(PX_TEXT("PNG"));
    EXPECT_EQ(data.GetImageType(), PX_TEXT("png"));
    EXPECT_EQ(data.GetUploadFileName(), PX_TEXT("img.png"));
    data.SetImageType(PX_TEXT("jpg"));
    EXPECT_EQ(data.GetUploadFileName(), PX_TEXT("img.jpg"));
}

TEST(AppData, FileFieldNameFollowsTheFlavour) {
    AppData& data = AppData::Instance();
    data.SetFileFieldName(PX_TEXT("photo"));
    // Pixmend's script names the file part; npPixmend's stays "img".
    EXPECT_EQ(UploadFileFieldName(), FlavourTraits::kIsNpapi ? PX_TEXT("img") : PX_TEXT("photo"));
    data.SetFileFieldName(PX_TEXT("img"));
    EXPECT_EQ(UploadFileFieldName(), PX_TEXT("img"));
}

TEST(AppData, FirstUseFromTwoThreadsYieldsOneInstance) {
    AppData* seen[2] = {nullptr, nullptr};
    std::thread a([&] { seen[0] = &AppData::Instance(); });
    std::thread b([&] {
        seen[1] = &AppData::Instance();
        seen[1]->SetJpegQuality(seen[1]->GetJpegQuality());
    });
    a.join();
    b.join();
    EXPECT_EQ(seen[0], seen[1]);
}

}  // namespace
