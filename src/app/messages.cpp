#include "messages.h"

#include "utf8_text.h"

#include <cstddef>

WizardMessages g_messages;
std::string g_languageCode;

const std::array<const char*, 12> kLanguageCodes = {"EN", "FR", "DE", "SP", "IT", "PT",
                                                    "NL", "PL", "CZ", "RU", "CHS", "CHT"};

namespace {

using Texts = std::array<const char*, WizardMessages::kCount>;

// Record order: see the comments on the members of WizardMessages.
const Texts kEnglish = {
    "Midi file size (%1% bytes) exceeds the phone capability (%2% bytes maximum).\nPlease reduce its length.",
    "About",
    "The Flash 5 module must be installed on your computer.\nPlease check the installation of the software.",
    "Animation size (%1% bytes) exceeds the phone capability (%2% bytes maximum).\nPlease delete some images to reduce the size.",
    "Transfer in progress...",
    "This file type is not supported",
    "It is not possible to start the %1% wizard because the %2% wizard is already running.\nPlease close the %2% wizard.",
    "Add a frame",
    "Invalid picture :",
    "Installation error",
    "Customize Image",
    "All your changes will be lost.\nAre you sure you want to exit ?",
    "Transfer error.",
    "Press \"Previous\" to try again.",
    "Your sound %1% (%2%) is ready to be transferred",
    "Your animation %1% (%2% bytes) is ready to be transferred",
    "Your stamp %1% (%2% bytes) is ready to be transferred",
    "Create new folder",
    "Create Animation",
    "Retrieve Photos",
    "Customize Sound",
    "Create Stamp",
    "Reduce",
    "OK",
    "bytes",
    "Cancel",
};

const Texts kFrench = {
    "La taille du fichier Midi (%1% octets) dépasse la capacité du téléphone (%2% octets maximum).\nVeuillez réduire sa durée.",
    "A propos",
    "Le module Flash 5 doit être installé sur votre ordinateur.\nVeuillez vérifier l'installation du logiciel.",
    "La taille de l'animation (%1% octets) dépasse la capacité du téléphone (%2% octets maximum).\nVeuillez supprimer des images pour réduire la taille.",
    "Transfert en cours...",
    "Ce type de fichier n'est pas pris en charge",
    "Impossible de lancer l'assistant %1% car l'assistant %2% est déjà en cours d'exécution.\nVeuillez fermer l'assistant %2%.",
    "Ajouter une image",
    "Image non valide :",
    "Erreur d'installation",
    "Personnaliser une image",
    "Toutes vos modifications seront perdues.\nVoulez-vous vraiment quitter ?",
    "Erreur de transfert.",
    "Appuyez sur \"Précédent\" pour réessayer.",
    "Votre son %1% (%2%) est prêt à être transféré",
    "Votre animation %1% (%2% octets) est prête à être transférée",
    "Votre tampon %1% (%2% octets) est prêt à être transféré",
    "Créer un nouveau dossier",
    "Créer une animation",
    "Récupérer des photos",
    "Personnaliser un son",
    "Créer un tampon",
    "Réduire",
    "OK",
    "octets",
    "Annuler",
};

const Texts kGerman = {
    "Die Größe der Midi-Datei (%1% Byte) übersteigt die Kapazität des Telefons (höchstens %2% Byte).\nBitte kürzen Sie die Datei.",
    "Info",
    "Das Flash-5-Modul muss auf Ihrem Computer installiert sein.\nBitte überprüfen Sie die Installation der Software.",
    "Die Größe der Animation (%1% Byte) übersteigt die Kapazität des Telefons (höchstens %2% Byte).\nBitte löschen Sie einige Bilder, um die Größe zu verringern.",
    "Übertragung läuft...",
    "Dieser Dateityp wird nicht unterstützt",
    "Der Assistent %1% kann nicht gestartet werden, weil der Assistent %2% bereits läuft.\nBitte schließen Sie den Assistenten %2%.",
    "Bild hinzufügen",
    "Ungültiges Bild:",
    "Installationsfehler",
    "Bild anpassen",
    "Alle Änderungen gehen verloren.\nMöchten Sie wirklich beenden?",
    "Übertragungsfehler.",
    "Klicken Sie auf \"Zurück\", um es erneut zu versuchen.",
    "Ihr Sound %1% (%2%) ist zur Übertragung bereit",
    "Ihre Animation %1% (%2% Byte) ist zur Übertragung bereit",
    "Ihr Stempel %1% (%2% Byte) ist zur Übertragung bereit",
    "Neuen Ordner erstellen",
    "Animation erzeugen",
    "Fotos abrufen",
    "Sound anpassen",
    "Stempel erstellen",
    "Verkleinern",
    "OK",
    "Byte",
    "Abbrechen",
};

const Texts kSpanish = {
    "El tamaño del archivo Midi (%1% bytes) supera la capacidad del teléfono (%2% bytes como máximo).\nReduzca su duración.",
    "Acerca de",
    "El módulo Flash 5 debe estar instalado en el ordenador.\nCompruebe la instalación del software.",
    "El tamaño de la animación (%1% bytes) supera la capacidad del teléfono (%2% bytes como máximo).\nElimine algunas imágenes para reducir el tamaño.",
    "Transferencia en curso...",
    "Este tipo de archivo no es compatible",
    "No es posible iniciar el asistente %1% porque el asistente %2% ya se está ejecutando.\nCierre el asistente %2%.",
    "Añadir un fotograma",
    "Imagen no válida:",
    "Error de instalación",
    "Personalizar imagen",
    "Se perderán todos los cambios.\n¿Seguro que desea salir?",
    "Error de transferencia.",
    "Pulse \"Anterior\" para volver a intentarlo.",
    "Su sonido %1% (%2%) está listo para transferirse",
    "Su animación %1% (%2% bytes) está lista para transferirse",
    "Su sello %1% (%2% bytes) está listo para transferirse",
    "Crear carpeta nueva",
    "Crear animación",
    "Recuperar fotos",
    "Personalizar sonido",
    "Crear sello",
    "Reducir",
    "Aceptar",
    "bytes",
    "Anular",
};

const Texts kItalian = {
    "Le dimensioni del file Midi (%1% byte) superano la capacità del telefono (massimo %2% byte).\nRidurne la durata.",
    "Riguardo a",
    "Il modulo Flash 5 deve essere installato sul computer.\nVerificare l'installazione del software.",
    "Le dimensioni dell'animazione (%1% byte) superano la capacità del telefono (massimo %2% byte).\nEliminare alcune immagini per ridurre le dimensioni.",
    "Trasferimento in corso...",
    "Questo tipo di file non è supportato",
    "Impossibile avviare la procedura guidata %1% perché la procedura guidata %2% è già in esecuzione.\nChiudere la procedura guidata %2%.",
    "Aggiungi un fotogramma",
    "Immagine non valida:",
    "Errore di installazione",
    "Personalizza immagine",
    "Tutte le modifiche andranno perse.\nUscire davvero?",
    "Errore di trasferimento.",
    "Premere \"Indietro\" per riprovare.",
    "Il suono %1% (%2%) è pronto per il trasferimento",
    "L'animazione %1% (%2% byte) è pronta per il trasferimento",
    "Il timbro %1% (%2% byte) è pronto per il trasferimento",
    "Crea nuova cartella",
    "Crea animazione",
    "Recupera foto",
    "Personalizza suono",
    "Crea timbro",
    "Riduci",
    "OK",
    "byte",
    "Annulla",
};

const Texts kPortuguese = {
    "O tamanho do ficheiro Midi (%1% bytes) excede a capacidade do telefone (máximo de %2% bytes).\nReduza a sua duração.",
    "Acerca de",
    "O módulo Flash 5 tem de estar instalado no computador.\nVerifique a instalação do software.",
    "O tamanho da animação (%1% bytes) excede a capacidade do telefone (máximo de %2% bytes).\nElimine algumas imagens para reduzir o tamanho.",
    "Transferência em curso...",
    "Este tipo de ficheiro não é suportado",
    "Não é possível iniciar o assistente %1% porque o assistente %2% já está em execução.\nFeche o assistente %2%.",
    "Adicionar uma imagem",
    "Imagem inválida:",
    "Erro de instalação",
    "Personalizar imagem",
    "Todas as alterações serão perdidas.\nTem a certeza de que pretende sair?",
    "Erro de transferência.",
    "Prima \"Anterior\" para tentar novamente.",
    "O seu som %1% (%2%) está pronto para ser transferido",
    "A sua animação %1% (%2% bytes) está pronta para ser transferida",
    "O seu selo %1% (%2% bytes) está pronto para ser transferido",
    "Criar nova pasta",
    "Criar animação",
    "Obter fotografias",
    "Personalizar som",
    "Criar selo",
    "Reduzir",
    "OK",
    "bytes",
    "Anular",
};

const Texts kDutch = {
    "De grootte van het Midi-bestand (%1% byte) overschrijdt de capaciteit van de telefoon (maximaal %2% byte).\nMaak het bestand korter.",
    "Info",
    "De Flash 5-module moet op uw computer zijn geïnstalleerd.\nControleer de installatie van de software.",
    "De grootte van de animatie (%1% byte) overschrijdt de capaciteit van de telefoon (maximaal %2% byte).\nVerwijder enkele afbeeldingen om de animatie kleiner te maken.",
    "Bezig met overdracht...",
    "Dit bestandstype wordt niet ondersteund",
    "De wizard %1% kan niet worden gestart omdat de wizard %2% al actief is.\nSluit de wizard %2%.",
    "Beeld toevoegen",
    "Ongeldige afbeelding:",
    "Installatiefout",
    "Afbeelding aanpassen",
    "Al uw wijzigingen gaan verloren.\nWeet u zeker dat u wilt afsluiten?",
    "Overdrachtsfout.",
    "Klik op \"Vorige\" om het opnieuw te proberen.",
    "Uw geluid %1% (%2%) is klaar voor overdracht",
    "Uw animatie %1% (%2% byte) is klaar voor overdracht",
    "Uw stempel %1% (%2% byte) is klaar voor overdracht",
    "Nieuwe map maken",
    "Animatie maken",
    "Foto's ophalen",
    "Geluid aanpassen",
    "Stempel maken",
    "Verminderen",
    "OK",
    "byte",
    "Annuleren",
};

const Texts kPolish = {
    "Rozmiar pliku Midi (%1% bajtów) przekracza możliwości telefonu (maksymalnie %2% bajtów).\nSkróć plik.",
    "Informacje",
    "Na komputerze musi być zainstalowany moduł Flash 5.\nSprawdź instalację oprogramowania.",
    "Rozmiar animacji (%1% bajtów) przekracza możliwości telefonu (maksymalnie %2% bajtów).\nUsuń kilka obrazów, aby zmniejszyć rozmiar.",
    "Trwa przesyłanie...",
    "Ten typ pliku nie jest obsługiwany",
    "Nie można uruchomić kreatora %1%, ponieważ kreator %2% jest już uruchomiony.\nZamknij kreator %2%.",
    "Dodaj klatkę",
    "Nieprawidłowy obraz:",
    "Błąd instalacji",
    "Dostosuj obraz",
    "Wszystkie zmiany zostaną utracone.\nCzy na pewno chcesz zakończyć?",
    "Błąd przesyłania.",
    "Naciśnij \"Wstecz\", aby spróbować ponownie.",
    "Dźwięk %1% (%2%) jest gotowy do przesłania",
    "Animacja %1% (%2% bajtów) jest gotowa do przesłania",
    "Stempel %1% (%2% bajtów) jest gotowy do przesłania",
    "Utwórz nowy folder",
    "Edytor animacji",
    "Pobierz zdjęcia",
    "Dostosuj dźwięk",
    "Utwórz stempel",
    "Zmniejsz",
    "OK",
    "bajtów",
    "Anuluj",
};

const Texts kCzech = {
    "Velikost souboru Midi (%1% bytů) překračuje možnosti telefonu (nejvýše %2% bytů).\nZkraťte jej prosím.",
    "O programu",
    "V počítači musí být nainstalován modul Flash 5.\nZkontrolujte prosím instalaci softwaru.",
    "Velikost animace (%1% bytů) překračuje možnosti telefonu (nejvýše %2% bytů).\nOdstraňte prosím některé obrázky, aby se velikost zmenšila.",
    "Probíhá přenos...",
    "Tento typ souboru není podporován",
    "Průvodce %1% nelze spustit, protože již běží průvodce %2%.\nZavřete prosím průvodce %2%.",
    "Přidat snímek",
    "Neplatný obrázek:",
    "Chyba instalace",
    "Upravit obrázek",
    "Všechny změny budou ztraceny.\nOpravdu chcete skončit?",
    "Chyba přenosu.",
    "Stiskněte \"Zpět\" a zkuste to znovu.",
    "Zvuk %1% (%2%) je připraven k přenosu",
    "Animace %1% (%2% bytů) je připravena k přenosu",
    "Razítko %1% (%2% bytů) je připraveno k přenosu",
    "Vytvořit novou složku",
    "Vytvořit animaci",
    "Načíst fotografie",
    "Upravit zvuk",
    "Vytvořit razítko",
    "Redukovat",
    "OK",
    "bytů",
    "Storno",
};

const Texts kRussian = {
    "Размер файла Midi (%1% байт) превышает возможности телефона (не более %2% байт).\nСократите его длительность.",
    "О программе",
    "На компьютере должен быть установлен модуль Flash 5.\nПроверьте установку программы.",
    "Размер анимации (%1% байт) превышает возможности телефона (не более %2% байт).\nУдалите несколько изображений, чтобы уменьшить размер.",
    "Идет передача...",
    "Этот тип файлов не поддерживается",
    "Невозможно запустить мастер %1%, так как уже запущен мастер %2%.\nЗакройте мастер %2%.",
    "Добавить кадр",
    "Недопустимое изображение:",
    "Ошибка установки",
    "Настроить изображение",
    "Все изменения будут потеряны.\nВы действительно хотите выйти?",
    "Ошибка передачи.",
    "Нажмите \"Назад\", чтобы повторить попытку.",
    "<font size=\"12\">Ваш звук %1% (%2%) готов к передаче</font>",
    "<font size=\"12\">Ваша анимация %1% (%2% байт) готова к передаче</font>",
    "<font size=\"12\">Ваш штамп %1% (%2% байт) готов к передаче</font>",
    "Создать папку",
    "Создать анимацию",
    "Получить фотографии",
    "Настроить звук",
    "Создать штамп",
    "снижать",
    "OK",
    "байт",
    "Отмена",
};

const Texts kSimplifiedChinese = {
    "Midi 文件大小（%1% 字节）超出手机的容量（最大 %2% 字节）。\n请缩短其长度。",
    "关于",
    "您的计算机上必须安装 Flash 5 模块。\n请检查软件的安装。",
    "动画大小（%1% 字节）超出手机的容量（最大 %2% 字节）。\n请删除一些图像以减小大小。",
    "正在传输...",
    "不支持此文件类型",
    "无法启动%1%向导，因为%2%向导已在运行。\n请关闭%2%向导。",
    "添加一帧",
    "无效的图片：",
    "安装错误",
    "自定义图像",
    "您的所有更改都将丢失。\n确实要退出吗？",
    "传输错误。",
    "请按\"上一步\"重试。",
    "您的声音 %1%（%2%）已准备好传输",
    "您的动画 %1%（%2% 字节）已准备好传输",
    "您的图章 %1%（%2% 字节）已准备好传输",
    "新建文件夹",
    "创建动画",
    "获取照片",
    "自定义声音",
    "创建图章",
    "小化",
    "确定",
    "字节",
    "取消",
};

const Texts kTraditionalChinese = {
    "Midi 檔案大小（%1% 位元組）超過手機的容量（最多 %2% 位元組）。\n請縮短其長度。",
    "關於",
    "您的電腦上必須安裝 Flash 5 模組。\n請檢查軟體的安裝。",
    "動畫大小（%1% 位元組）超過手機的容量（最多 %2% 位元組）。\n請刪除一些影像以縮小大小。",
    "正在傳輸...",
    "不支援此檔案類型",
    "無法啟動%1%精靈，因為%2%精靈已在執行中。\n請關閉%2%精靈。",
    "新增一個畫格",
    "無效的圖片：",
    "安裝錯誤",
    "自訂影像",
    "您的所有變更都將遺失。\n確定要結束嗎？",
    "傳輸錯誤。",
    "請按\"上一步\"再試一次。",
    "您的聲音 %1%（%2%）已準備好傳輸",
    "您的動畫 %1%（%2% 位元組）已準備好傳輸",
    "您的圖章 %1%（%2% 位元組）已準備好傳輸",
    "建立新資料夾",
    "建立動畫",
    "擷取相片",
    "自訂聲音",
    "建立圖章",
    "降低",
    "確定",
    "位元組",
    "取消",
};

// In the order of kLanguageCodes.
const Texts* const kLanguages[] = {&kEnglish,  &kFrench, &kGerman, &kSpanish,
                                   &kItalian,  &kPortuguese, &kDutch, &kPolish,
                                   &kCzech,    &kRussian, &kSimplifiedChinese,
                                   &kTraditionalChinese};
static_assert(std::size(kLanguages) == 12);

std::string* Slot(WizardMessages& m, int index)
{
    std::string* const entries[WizardMessages::kCount] = {
        &m.MsgMidiTooBig, &m.TextAbout, &m.MsgFlashMissing, &m.MsgAnimationTooBig,
        &m.TextTransferInProgress, &m.MsgFileTypeNotSupported, &m.MsgAlreadyRunning,
        &m.TextAddFrame, &m.MsgInvalidPicture, &m.MsgInstallationError, &m.TitleCustomizeImage,
        &m.MsgConfirmExit, &m.MsgTransferError, &m.MsgPressPrevious, &m.MsgSoundReady,
        &m.MsgAnimationReady, &m.MsgStampReady, &m.TextCreateNewFolder, &m.TitleCreateAnimation,
        &m.TitleRetrievePhotos, &m.TitleCustomizeSound, &m.TitleCreateStamp, &m.TextReduce,
        &m.TextOk, &m.TextBytes, &m.TextCancel};
    return (index >= 0 && index < WizardMessages::kCount) ? entries[index] : nullptr;
}

} // namespace

std::string& WizardMessages::operator[](int index)
{
    std::string* slot = Slot(*this, index);
    return slot ? *slot : MsgMidiTooBig;
}

const std::string& WizardMessages::operator[](int index) const
{
    return const_cast<WizardMessages&>(*this)[index];
}

WizardMessages BuildMessages(std::string code)
{
    code = UpperCaseUtf8(code);
    g_languageCode = code;

    std::size_t language = 0; // a code that names no language gets the English texts
    for (std::size_t i = 0; i < kLanguageCodes.size(); ++i) {
        if (code == kLanguageCodes[i]) {
            language = i;
            break;
        }
    }

    WizardMessages messages;
    for (int i = 0; i < WizardMessages::kCount; ++i)
        messages[i] = (*kLanguages[language])[static_cast<std::size_t>(i)];
    return messages;
}

int FillPlaceholder(std::string& text, const char* placeholder, const std::string& value)
{
    const std::string key = placeholder ? placeholder : "";
    if (key.empty())
        return 0;
    int count = 0;
    std::string result;
    std::size_t from = 0;
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, from)) {
        result.append(text, from, at - from);
        result += value;
        from = at + key.size();
        ++count;
    }
    if (count > 0) {
        result.append(text, from, std::string::npos);
        text = std::move(result);
    }
    return count;
}

std::string FillMessage(std::string text, const std::string& first, const std::string& second)
{
    FillPlaceholder(text, "%1%", first);
    FillPlaceholder(text, "%2%", second);
    return text;
}
