#include "browser/messages/MessageTable.h"

#include <QStringList>

namespace marvek::browser {

using namespace Qt::StringLiterals;

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The browser's table: the same codes in both languages, with five texts of their own.
std::vector<MessageEntry> pagoraMessages(bool japanese) {
    const auto text = [japanese](const QString& ja, const QString& en) {
        return japanese ? ja : en;
    };
    return {
        {u"EM101"_s,
         text(u"DTX-IIIからの情報に誤りが見つかりました。マニュアルページを開く事が出来ません。"_s,
              u"Error is found in information from DTX-III. Manual page cannot be opened."_s)},
        {u"EM102"_s, text(u"パラメータが不正です。"_s, u"Parameter is incorrect."_s)},
        {u"WC201"_s, text(u"マーベックブラウザ"_s, u"MarvekBrowser"_s)},
        {u"WC202"_s, text(u"バージョン情報"_s, u"Version information"_s)},
        {u"WC203"_s,
         text(u"Copyright (C) 2005 マーベック株式会社"_s, u"Copyright (C) 2005 Marvek Corporation"_s)},
        {u"WC204"_s, u"All rights reserved."_s},
        {u"WC205"_s, u"Build date: 2006/03/09"_s},
        {u"TB301"_s, u"forward"_s},
        {u"TB302"_s, u"back"_s},
        {u"TB303"_s, u"print"_s},
        {u"TB304"_s, u"bookmark"_s},
        {u"TB305"_s, u"version"_s},
        {u"BC401"_s, u"OK"_s},
    };
}

QString licenceJapanese() {
    const QStringList pieces = {
        u"マーベックブラウザ ソフトウェア使用許諾契約書"_s,
        u"1. 使用許諾: マーベック株式会社（以下「当社」）は、お客様に対し、本ソフトウェアを当社の整備マニュアルの閲覧の目的に限り、お客様の事業所内のコンピュータで使用する非独占的な権利を許諾します。"_s,
        u"2. 権利の帰属: 本ソフトウェアおよびその複製物に関する著作権その他一切の知的財産権は当社または当社への許諾者に帰属し、本契約によりお客様に移転するものではありません。"_s,
        u"3. その他の制限: お客様は、本ソフトウェアの改変、翻案、逆コンパイル、逆アセンブルその他のリバースエンジニアリングを行うことはできません。また、本ソフトウェアを第三者に貸与、再許諾することはできません。"_s,
        u"4. 譲渡: お客様は、本契約上の地位および本ソフトウェアを、当社の書面による事前の承諾なく第三者に譲渡することはできません。"_s,
        u"5. 契約の終了: お客様が本契約の条項に違反した場合、本契約は直ちに終了します。終了後、お客様は本ソフトウェアおよびその複製物をすべて破棄するものとします。"_s,
        u"6. 輸出規制: お客様は、適用される輸出関連法令に従うものとし、必要な許可を得ることなく本ソフトウェアを輸出してはなりません。"_s,
        u"7. 保証の否認: 本ソフトウェアは現状有姿で提供され、当社は、商品性、特定目的への適合性その他明示または黙示を問わず、いかなる保証も行いません。"_s,
        u"8. 責任の制限: 当社は、本ソフトウェアの使用または使用不能から生じたいかなる損害（逸失利益、業務の中断、情報の消失を含みます）についても、責任を負いません。"_s,
        u"9. 準拠法: 本契約は日本法に準拠し、本契約に関する紛争は東京地方裁判所を第一審の専属的合意管轄裁判所とします。"_s,
    };
    return pieces.join(CrLf);
}

QString licenceEnglish() {
    const QStringList pieces = {
        u"MarvekBrowser Software End-User Licence Agreement"_s,
        u"1. Grant of licence: Marvek Corporation (\"Marvek\") grants you a non-exclusive right to use this software on the computers of your workshop, solely to view Marvek service manuals."_s,
        u"2. Ownership of rights: The copyright and all other intellectual property rights in this software and in every copy of it remain with Marvek or its licensors; this agreement transfers none of them to you."_s,
        u"3. Other limitations: You may not modify, adapt, decompile, disassemble or otherwise reverse engineer this software, and you may not rent, lend or sublicense it."_s,
        u"4. Transfer: You may not transfer this software or your rights under this agreement to a third party without the prior written consent of Marvek."_s,
        u"5. Termination: This agreement ends at once if you break any of its terms. You must then destroy this software and every copy of it."_s,
        u"6. Export restrictions: You agree to comply with all applicable export laws and not to export this software without the licences they require."_s,
        u"7. Disclaimer of warranties: This software is provided \"as is\". Marvek gives no warranty of any kind, express or implied, including merchantability and fitness for a particular purpose."_s,
        u"8. Limitation of liability: Marvek is not liable for any damages arising from the use of or the inability to use this software, including lost profits, business interruption and loss of information."_s,
        u"9. Governing law: This agreement is governed by the laws of Japan; the Tokyo District Court has exclusive jurisdiction in the first instance over any dispute arising from it."_s,
    };
    return pieces.join(CrLf);
}

std::vector<MessageEntry> pagosetJapanese() {
    return {
        {u"OB101"_s, u"使用許諾の条項に同意します。"_s},
        {u"OB102"_s, u"使用許諾の条項に同意しません。"_s},
        {u"BC101"_s, u"OK"_s},
        {u"WC101"_s, licenceJapanese()},
    };
}

std::vector<MessageEntry> pagosetEnglish() {
    return {
        {u"OB101"_s, u"Agree to the terms of this agreement"_s},
        {u"OB102"_s, u"Disagree to the terms of this agreement"_s},
        {u"BC101"_s, u"OK"_s},
        {u"WC101"_s, licenceEnglish()},
    };
}

} // namespace

std::vector<MessageEntry> builtInMessages(MessageProgram program, const QString& languageCode) {
    const bool japanese = languageCode == u"11";
    if (program == MessageProgram::Pagora)
        return pagoraMessages(japanese);
    return japanese ? pagosetJapanese() : pagosetEnglish();
}

} // namespace marvek::browser
