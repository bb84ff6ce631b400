// Every language's movie carries the same texts, all filled in, with the
// placeholders the program and the movie fill.

#include "movie_harness_support.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using movies_test::MovieHarness;

namespace {

QVariantMap textsOf(const QString& code)
{
    MovieHarness movie(code, 1);
    EXPECT_TRUE(movie.loaded()) << code.toStdString();
    return movie.loaded() ? movie.root()->property("texts").toMap() : QVariantMap();
}

QStringList placeholders(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("%[1-9]%?"));
    QStringList found;
    for (auto it = re.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found;
}

TEST(MovieTexts, EveryLanguageHasTheEnglishKeysAllFilled)
{
    const QVariantMap english = textsOf("EN");
    ASSERT_GT(english.size(), 50);
    const QStringList keys = english.keys();

    for (const QString& code : movies_test::languages()) {
        SCOPED_TRACE(code.toStdString());
        const QVariantMap texts = textsOf(code);
        const QSet<QString> have(texts.keyBegin(), texts.keyEnd());
        const QSet<QString> want(keys.begin(), keys.end());
        EXPECT_EQ(have - want, QSet<QString>()) << "extra keys";
        EXPECT_EQ(want - have, QSet<QString>()) << "missing keys";
        for (const QString& key : keys) {
            const QString text = texts.value(key).toString();
            EXPECT_FALSE(text.trimmed().isEmpty()) << key.toStdString() << " is empty";
            EXPECT_EQ(placeholders(text), placeholders(english.value(key).toString()))
                << key.toStdString() << ": have \"" << text.toStdString() << "\"";
        }
    }
}

TEST(MovieTexts, TemplatesTheProgramReadsKeepTheirPlaceholders)
{
    for (const QString& code : movies_test::languages()) {
        SCOPED_TRACE(code.toStdString());
        MovieHarness movie(code, 6);
        ASSERT_TRUE(movie.loaded());
        const QString ready = movie.getVariable("TxtPrepTr");
        EXPECT_TRUE(ready.contains("%1%") && ready.contains("%2%")) << ready.toStdString();
        const QString ok = movie.getVariable("_OkTxt");
        EXPECT_TRUE(ok.contains("%1%")) << ok.toStdString();
    }
}

TEST(MovieTexts, PreviousButtonMatchesTheWordInTheProgramsRetryMessage)
{
    // The program's transfer error ends with "Press "<back>" to try again." in
    // the language; the button must carry that word.
    const std::pair<const char*, const char*> words[] = {
        {"EN", "Previous"}, {"FR", "Précédent"}, {"DE", "Zurück"}, {"SP", "Anterior"},
        {"IT", "Indietro"}, {"PT", "Anterior"}, {"NL", "Vorige"}, {"PL", "Wstecz"},
        {"CZ", "Zpět"}, {"RU", "Назад"}, {"CHS", "上一步"}, {"CHT", "上一步"},
    };
    for (const auto& [code, word] : words)
        EXPECT_EQ(textsOf(code).value("back").toString(), QString::fromUtf8(word)) << code;
}

}  // namespace
