#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Translations and the application title need an application object.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
