#include "sim/device_interfaces.h"

#include <QStringList>

#include "sim/sim_xml.h"

namespace {

// Children of config: each line on its own, indented by a tab, ending with a line end.
QByteArray Lines(std::initializer_list<const char*> lines) {
    QByteArray out = "\n";
    for (const char* line : lines)
        out += QByteArray("\t") + line + "\n";
    return out;
}

SimInterface Get(const char* name, const char* partner, QByteArray defaults) {
    return {name, SimInterfaceKind::Get, partner, std::move(defaults)};
}

QList<SimInterface> BuildTable() {
    QList<SimInterface> t;
    t << Get("GetDeviceInfo", "",
             Lines({"<deviceName type=\"string\"><![CDATA[前门摄像机]]></deviceName>",
                    "<deviceDescription type=\"string\"><![CDATA[IPC]]></deviceDescription>",
                    "<model type=\"string\"><![CDATA[TS-IPC-2031]]></model>",
                    "<brand type=\"string\"><![CDATA[Tessaly]]></brand>",
                    "<serialNumber type=\"string\"><![CDATA[TS20310000172]]></serialNumber>",
                    "<firmwareVersion type=\"string\"><![CDATA[3.0.0.6]]></firmwareVersion>",
                    "<hardwareVersion type=\"string\"><![CDATA[V1.2]]></hardwareVersion>",
                    "<mac type=\"string\"><![CDATA[58:5b:69:00:10:2a]]></mac>",
                    "<channelCount type=\"uint32\">1</channelCount>"}));
    t << Get("GetDateAndTime", "SetDateAndTime",
             Lines({"<time>", "\t<timeZone type=\"string\"><![CDATA[GMT+08:00]]></timeZone>",
                    "\t<systemTime type=\"string\"><![CDATA[20261206T081500]]></systemTime>",
                    "\t<syncNTPFlag type=\"boolean\">false</syncNTPFlag>",
                    "\t<NTPServer type=\"string\"><![CDATA[ntp.example.invalid]]></NTPServer>",
                    "</time>"}));
    t << Get(
        "GetImageConfig", "SetImageConfig",
        Lines({"<image>", "\t<brightness type=\"uint32\">128</brightness>",
               "\t<contrast type=\"uint32\">128</contrast>",
               "\t<saturation type=\"uint32\">128</saturation>", "\t<hue type=\"uint32\">128</hue>",
               "\t<sharpness type=\"uint32\">50</sharpness>",
               "\t<mirrorSwitch type=\"boolean\">false</mirrorSwitch>",
               "\t<flipSwitch type=\"boolean\">false</flipSwitch>",
               "\t<frequency type=\"string\">50HZ</frequency>",
               "\t<irCutMode type=\"string\">auto</irCutMode>", "</image>"}));
    t << Get("GetStreamCaps", "",
             Lines({"<streamCaps type=\"list\" count=\"2\">",
                    "\t<item id=\"1\"><resolution>2560x1440</resolution>"
                    "<maxFrameRate>25</maxFrameRate><encodeType>H.265</encodeType></item>",
                    "\t<item id=\"2\"><resolution>640x360</resolution>"
                    "<maxFrameRate>25</maxFrameRate><encodeType>H.264</encodeType></item>",
                    "</streamCaps>"}));
    t << Get("GetVideoStreamConfig", "SetVideoStreamConfig",
             Lines({"<streams type=\"list\" count=\"2\">",
                    "\t<item id=\"1\"><resolution>2560x1440</resolution><frameRate>25</frameRate>"
                    "<bitRateType>CBR</bitRateType><bitRate>4096</bitRate>"
                    "<encodeType>H.265</encodeType><GOP>50</GOP></item>",
                    "\t<item id=\"2\"><resolution>640x360</resolution><frameRate>25</frameRate>"
                    "<bitRateType>VBR</bitRateType><bitRate>512</bitRate>"
                    "<encodeType>H.264</encodeType><GOP>50</GOP></item>",
                    "</streams>"}));
    t << Get("GetAudioStreamConfig", "SetAudioStreamConfig",
             Lines({"<audio>", "\t<audioSwitch type=\"boolean\">true</audioSwitch>",
                    "\t<audioEncode type=\"string\">G711A</audioEncode>",
                    "\t<sampleRate type=\"uint32\">8000</sampleRate>",
                    "\t<inputType type=\"string\">MIC</inputType>", "</audio>"}));
    t << Get("GetImageOsdConfig", "SetImageOsdConfig",
             Lines({"<osd>", "\t<showChannelName type=\"boolean\">true</showChannelName>",
                    "\t<channelName type=\"string\"><![CDATA[大门入口]]></channelName>",
                    "\t<showTime type=\"boolean\">true</showTime>",
                    "\t<dateFormat type=\"string\">year-month-day</dateFormat>",
                    "\t<timeFormat type=\"uint32\">24</timeFormat>", "</osd>"}));
    t << Get("GetPrivacyMaskConfig", "SetPrivacyMaskConfig",
             Lines({"<privacyMask type=\"list\" count=\"1\">",
                    "\t<item><switch type=\"boolean\">false</switch><rectangle><X>100</X>"
                    "<Y>80</Y><width>160</width><height>90</height></rectangle></item>",
                    "</privacyMask>"}));
    t << Get("PtzGetCaps", "",
             Lines({"<ptzCaps>", "\t<panRange type=\"string\">0-360</panRange>",
                    "\t<tiltRange type=\"string\">-15-90</tiltRange>",
                    "\t<maxSpeed type=\"uint32\">8</maxSpeed>",
                    "\t<maxPresets type=\"uint32\">255</maxPresets>",
                    "\t<maxCruises type=\"uint32\">8</maxCruises>", "</ptzCaps>"}));
    t << Get("PtzGetProtocolConfig", "PtzSetProtocolConfig",
             Lines({"<ptzProtocol>", "\t<protocol type=\"string\">PELCOD</protocol>",
                    "\t<address type=\"uint32\">1</address>",
                    "\t<baudRate type=\"uint32\">9600</baudRate>", "</ptzProtocol>"}));
    t << Get("PtzGetPresets", "",
             Lines({"<presetInfo type=\"list\" count=\"3\">",
                    "\t<item id=\"1\"><name type=\"string\"><![CDATA[p1]]></name></item>",
                    "\t<item id=\"2\"><name type=\"string\"><![CDATA[停车场]]></name></item>",
                    "\t<item id=\"3\"><name type=\"string\"><![CDATA[gate]]></name></item>",
                    "</presetInfo>"}));
    t << Get("PtzGetCruises", "",
             Lines({"<cruiseInfo type=\"list\" count=\"1\">",
                    "\t<item id=\"1\"><name type=\"string\"><![CDATA[巡航一]]></name></item>",
                    "</cruiseInfo>"}));
    t << Get("PtzGetCruise", "",
             Lines({"<id type=\"uint32\">1</id>", "<name type=\"string\"><![CDATA[巡航一]]></name>",
                    "<presetInfo type=\"list\" count=\"2\">",
                    "\t<item id=\"1\"><speed>5</speed><holdTime>5</holdTime></item>",
                    "\t<item id=\"2\"><speed>5</speed><holdTime>10</holdTime></item>",
                    "</presetInfo>"}));
    t << Get("GetMotionConfig", "SetMotionConfig",
             Lines({"<motion>", "\t<switch type=\"boolean\">true</switch>",
                    "\t<sensitivity type=\"uint32\">4</sensitivity>",
                    "\t<area type=\"string\">ffffffffffffffffffffffff</area>", "</motion>"}));
    t << Get("GetAlarmInConfig", "SetAlarmInConfig",
             Lines({"<alarmIn>", "\t<alarmName type=\"string\"><![CDATA[门磁]]></alarmName>",
                    "\t<alarmType type=\"string\">NO</alarmType>",
                    "\t<switch type=\"boolean\">true</switch>", "</alarmIn>"}));
    t << Get("GetAlarmOutConfig", "SetAlarmOutConfig",
             Lines({"<alarmOut>", "\t<alarmName type=\"string\"><![CDATA[警笛]]></alarmName>",
                    "\t<alarmType type=\"string\">NO</alarmType>",
                    "\t<delayTime type=\"uint32\">10</delayTime>", "</alarmOut>"}));
    t << Get("GetAlarmStatus", "",
             Lines({"<motionAlarm type=\"boolean\">false</motionAlarm>",
                    "<alarmIn type=\"list\" count=\"1\"><item id=\"1\">false</item></alarmIn>",
                    "<alarmOut type=\"list\" count=\"1\"><item id=\"1\">false</item></alarmOut>"}));
    t << Get(
        "GetAlarmServerConfig", "SetAlarmServerConfig",
        Lines({"<alarmServer>",
               "\t<serverAddress type=\"string\"><![CDATA[192.0.2.10]]></serverAddress>",
               "\t<port type=\"uint32\">8088</port>",
               "\t<heartbeatInterval type=\"uint32\">60</heartbeatInterval>", "</alarmServer>"}));
    t << Get("GetPortConfig", "SetPortConfig",
             Lines({"<port>", "\t<httpPort type=\"uint32\">80</httpPort>",
                    "\t<longPort type=\"uint32\">8080</longPort>",
                    "\t<rtspPort type=\"uint32\">554</rtspPort>", "</port>"}));
    t << Get("GetDdnsConfig", "SetDdnsConfig",
             Lines({"<ddns>", "\t<switch type=\"boolean\">false</switch>",
                    "\t<provider type=\"string\">dyndns</provider>",
                    "\t<hostName type=\"string\"><![CDATA[camera.example.invalid]]></hostName>",
                    "</ddns>"}));
    t << Get("GetNetBasicConfig", "SetNetBasicConfig",
             Lines({"<ipVersion type=\"string\">IPv4</ipVersion>",
                    "<dhcpSwitch type=\"boolean\">false</dhcpSwitch>",
                    "<ipAddress type=\"string\">192.0.2.64</ipAddress>",
                    "<subnetMask type=\"string\">255.255.255.0</subnetMask>",
                    "<gateway type=\"string\">192.0.2.1</gateway>",
                    "<dns1 type=\"string\">192.0.2.1</dns1>"}));
    t << Get("GetNetPppoeConfig", "SetNetPppoeConfig",
             Lines({"<pppoe>", "\t<switch type=\"boolean\">false</switch>",
                    "\t<userName type=\"string\"><![CDATA[]]></userName>", "</pppoe>"}));
    // Interfaces of the request files shipped in protocol_short.
    t << Get("GetSmartConfig", "SetSmartConfig",
             Lines({"<faceDetection type=\"boolean\">true</faceDetection>",
                    "<faceMatch type=\"boolean\">true</faceMatch>",
                    "<perimeter type=\"boolean\">true</perimeter>",
                    "<sensitivity type=\"uint32\">50</sensitivity>"}));
    t << Get("GetFaceAlbum", "",
             Lines({"<personList type=\"list\" count=\"2\">",
                    "\t<item id=\"1\"><personName type=\"string\"><![CDATA[张伟]]></personName>"
                    "<sex type=\"string\">male</sex></item>",
                    "\t<item id=\"2\"><personName type=\"string\"><![CDATA[王芳]]></personName>"
                    "<sex type=\"string\">female</sex></item>",
                    "</personList>"}));
    t << Get("GetSmartStatus", "",
             Lines({"<faceDetection type=\"string\">running</faceDetection>",
                    "<faceMatch type=\"string\">running</faceMatch>",
                    "<perimeter type=\"string\">running</perimeter>"}));

    // The Set partner of every Get that has one.
    const qsizetype gets = t.size();
    for (qsizetype i = 0; i < gets; ++i) {
        if (!t[i].partner.isEmpty()) {
            t << SimInterface{t[i].partner, SimInterfaceKind::Set, t[i].name, {}};
        }
    }
    for (const char* action :
         {"RequestKeyFrame", "PtzAddPreset", "PtzDeletePreset", "PtzModifyPresetPosition",
          "PtzModifyPresetName", "PtzGotoPreset", "PtzAddCruise", "PtzDeleteCruise",
          "PtzModifyCruise", "PtzRunCruise", "PtzStopCruise", "PtzControl", "ManualAlarmOut",
          "Reboot", "RestoreDefault"}) {
        t << SimInterface{action, SimInterfaceKind::Action, {}, {}};
    }
    t << SimInterface{"ModifyPassword", SimInterfaceKind::ModifyPassword, {}, {}};
    return t;
}

// The directions a PtzControl path may end in.
bool IsPtzDirection(const QByteArray& word) {
    static const QList<QByteArray> kDirections = {"Up", "Down", "Left", "Right", "Stop"};
    return kDirections.contains(word);
}

bool IsChannel(const QByteArray& segment) {
    if (segment.isEmpty() || segment.size() > 4)
        return false;
    for (const char c : segment) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

SimAnswer XmlAnswer(int status, QByteArray body) {
    return {status, kSimXmlContentType, std::move(body)};
}

SimAnswer Failure(int status, const QByteArray& desc) {
    return XmlAnswer(status, ConfigDocument({}, "failed", status, desc));
}

}  // namespace

DeviceInterfaces::DeviceInterfaces() = default;

const QList<SimInterface>& DeviceInterfaces::table() {
    static const QList<SimInterface> kTable = BuildTable();
    return kTable;
}

const SimInterface* DeviceInterfaces::find(const QByteArray& name) {
    for (const SimInterface& i : table()) {
        if (i.name == name)
            return &i;
    }
    return nullptr;
}

QByteArray DeviceInterfaces::setting(const QByteArray& getName, const QByteArray& channel) const {
    const SimInterface* i = find(getName);
    if (i == nullptr || i->kind != SimInterfaceKind::Get)
        return {};
    return stored_.value(getName + '/' + channel, i->defaults);
}

SimAnswer DeviceInterfaces::handle(const QByteArray& path, const QByteArray& body,
                                   QString* password) {
    const QList<QByteArray> segments = path.split('/');
    const SimInterface* iface = find(segments.value(0));
    if (iface == nullptr)
        return Failure(404, "Unknown interface");
    QByteArray channel;
    if (segments.size() >= 2) {
        if (!IsChannel(segments[1]))
            return Failure(404, "Unknown interface");
        channel = segments[1];
    }
    if (segments.size() == 3 && !(iface->name == "PtzControl" && IsPtzDirection(segments[2]))) {
        return Failure(404, "Unknown interface");
    }
    if (segments.size() > 3)
        return Failure(404, "Unknown interface");

    switch (iface->kind) {
        case SimInterfaceKind::Get:
            return XmlAnswer(200, ConfigDocument(setting(iface->name, channel)));

        case SimInterfaceKind::Set: {
            QByteArray children;
            if (RootElementName(body) != "config" || !RootContent(body, &children)) {
                return Failure(400, "The body is not a config document");
            }
            stored_.insert(iface->partner + '/' + channel, children);
            return XmlAnswer(200, ConfigDocument({}));
        }

        case SimInterfaceKind::Action:
            if (!body.trimmed().isEmpty() && !IsWellFormedXml(body)) {
                return Failure(400, "The body is not XML");
            }
            if (iface->name == "RestoreDefault")
                stored_.clear();  // the password stays
            return XmlAnswer(200, ConfigDocument({}));

        case SimInterfaceKind::ModifyPassword: {
            if (RootElementName(body) != "config") {
                return Failure(400, "The body is not a config document");
            }
            const QByteArray oldText =
                ElementText(body, {"config", "userPassword", "oldPassword"}).trimmed();
            const QByteArray newText =
                ElementText(body, {"config", "userPassword", "password"}).trimmed();
            const auto oldPassword = QByteArray::fromBase64Encoding(
                oldText, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
            const auto newPassword = QByteArray::fromBase64Encoding(
                newText, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
            if (oldText.isNull() || newText.isEmpty() || !oldPassword || !newPassword ||
                newPassword.decoded.isEmpty()) {
                return Failure(400, "userPassword needs oldPassword and password in Base64");
            }
            if (oldPassword.decoded != password->toUtf8()) {
                return XmlAnswer(200, ConfigDocument({}, "failed", 401, "Wrong oldPassword"));
            }
            *password = QString::fromUtf8(newPassword.decoded);
            return XmlAnswer(200, ConfigDocument({}));
        }
    }
    return Failure(404, "Unknown interface");
}
