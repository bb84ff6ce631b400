// Shows one page of the whole wizard and then waits, doing nothing, until it
// is ended. The frame, the pages and the English movie are the real ones,
// driven through the movie's own buttons as the end-to-end walk drives them,
// on the open route with a fixture animation picked on the content page. bench/idle_cpu.py
// --page measures what the page costs while a user only looks at it, with the
// pages passed on the way hidden behind it.
//
//   idle_page start|content|picture|animation|save|transfer
//
// Prints "ready PAGE" on stdout once the page is on show.
#include "route_tables.h"
#include "wizard_driver_support.h"

#include <QApplication>
#include <QString>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const char* page = argc > 1 ? argv[1] : "start";
    // Every page is reached on the open route: the start page's choices, the
    // content page with a fixture animation picked by its thumbnail, then Next.
    struct Route {
        const char* name;
        int page;
    };
    const Route routes[] = {
        {"start", kPageStart},       {"content", kPageContent}, {"picture", kPagePictureEditor},
        {"animation", kPageAnimEditor}, {"save", kPageSave},   {"transfer", kPageTransfer},
    };
    const Route* route = nullptr;
    for (const Route& r : routes)
        if (std::strcmp(r.name, page) == 0)
            route = &r;
    if (!route) {
        std::fprintf(stderr, "usage: idle_page start|content|picture|animation|save|transfer\n");
        return 2;
    }

    e2e::WizardDriver wizard("EN");
    if (route->page != kPageStart) {
        wizard.Key(Qt::Key_Return); // the welcome moves on to the choices
        if (!wizard.Click(QStringLiteral("choiceOpen"))) {
            std::fprintf(stderr, "idle_page: no choice to open pictures on the start page\n");
            return 1;
        }
    }
    while (wizard.CurrentPage() != route->page) {
        const int before = wizard.CurrentPage();
        if (before == kPageContent &&
            !e2e::PickContentFile(wizard, QStringLiteral("square_walks_eight_frames.gif"), e2e::FixtureFolder())) {
            std::fprintf(stderr, "idle_page: could not pick the fixture animation on the content page\n");
            return 1;
        }
        if (!wizard.Click(QStringLiteral("nextButton")) || wizard.CurrentPage() == before) {
            std::fprintf(stderr, "idle_page: Next did not leave page %d\n", before);
            return 1;
        }
    }
    std::printf("ready %s\n", route->name);
    std::fflush(stdout);
    return QApplication::exec();
}
