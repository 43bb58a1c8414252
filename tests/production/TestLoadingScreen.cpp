#include "TestLoadingScreen.h"

#include <iostream>

void TestLoadingScreen::draw()
{
    std::cout << "Loading screen : step " << getCount() << " of " << getTotal() << " shows " << getProgress()
              << std::endl;
    ProgressBar::draw();
}
