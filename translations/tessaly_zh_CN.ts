<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AnswerBox</name>
    <message>
        <source>Copy whole answer</source>
        <translation>复制完整应答</translation>
    </message>
    <message>
        <source>Save answer...</source>
        <translation>保存应答...</translation>
    </message>
</context>
<context>
    <name>AppCommandLine</name>
    <message>
        <source>Tessaly: exercise the HTTP/XML control interface of network video devices.</source>
        <translation>Tessaly：调试网络视频设备的 HTTP/XML 控制接口。</translation>
    </message>
    <message>
        <source>Start a simulated device on free 127.0.0.1 ports and fill the IP, ports and credentials in with its own, so everything can be tried without a camera.</source>
        <translation>在 127.0.0.1 的空闲端口上启动一台模拟设备，并用它的 IP、端口和凭据填写窗口，无需摄像机即可试用全部功能。</translation>
    </message>
    <message>
        <source>Tick TLS: both connections use TLS. With --demo the simulated device serves TLS too, and its key is trusted for this run only.</source>
        <translation>勾选 TLS：两种连接都使用 TLS。与 --demo 一起使用时模拟设备也提供 TLS，其密钥仅在本次运行中受信任。</translation>
    </message>
    <message>
        <source>Open the event browser on a captured traffic log (ApiLog.txt): its messages are listed and its pictures decoded from the log itself.</source>
        <translation>用事件浏览器打开已保存的通信日志（ApiLog.txt）：列出其中的消息，并直接从日志解码图片。</translation>
    </message>
    <message>
        <source>The language of the window: en or zh_CN (Simplified Chinese). Without it the system&apos;s locale (LC_ALL, LC_MESSAGES, LANG) chooses; device texts are never translated.</source>
        <translation>窗口的语言：en 或 zh_CN（简体中文）。不指定时由系统的区域设置（LC_ALL、LC_MESSAGES、LANG）决定；设备发来的文本从不翻译。</translation>
    </message>
    <message>
        <source>Show this help and stop.</source>
        <translation>显示本帮助后退出。</translation>
    </message>
    <message>
        <source>Show the version and stop.</source>
        <translation>显示版本后退出。</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.

</source>
        <translation>多余的参数“%1”。

</translation>
    </message>
    <message>
        <source>Unknown language &apos;%1&apos;: --lang takes en or zh_CN.

</source>
        <translation>未知语言“%1”：--lang 只接受 en 或 zh_CN。

</translation>
    </message>
    <message>
        <source>Folder of protocol_short, protocol_long, ApiLog.txt and pic, used as it is. Default: the program&apos;s folder when it is writable and holds protocol_short and protocol_long (a build or an unpacked archive), else $XDG_DATA_HOME/tessaly (~/.local/share/tessaly), made on first start and filled with copies of the installed request folders; request files you edit or delete there stay so. The title bar names the folder when it is not the program&apos;s own.</source>
        <translation>存放 protocol_short、protocol_long、ApiLog.txt 和 pic 的文件夹，按原样使用。默认：程序所在的文件夹可写且含有 protocol_short 和 protocol_long 时（构建目录或解压的归档）用该文件夹，否则用 $XDG_DATA_HOME/tessaly（~/.local/share/tessaly），首次启动时创建并复制已安装的请求文件夹；你在其中修改或删除的请求文件会保持原样。所用文件夹不是程序所在的文件夹时，标题栏会显示它。</translation>
    </message>
    <message>
        <source>The home folder &apos;%1&apos; is not a folder.

</source>
        <translation>主文件夹“%1”不是文件夹。

</translation>
    </message>
</context>
<context>
    <name>CDorvik_LurvaneDlg</name>
    <message>
        <source>Change IP/username/password</source>
        <translation>修改 IP/用户名/密码</translation>
    </message>
    <message>
        <source>Change Port</source>
        <translation>修改端口</translation>
    </message>
    <message>
        <source>Change OK</source>
        <translation>确认修改</translation>
    </message>
    <message>
        <source>; edited request: its path and body were sent, libcurl wrote the headers</source>
        <translation>；已编辑的请求：只发送了路径和正文，报头由 libcurl 生成</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 byte</source>
        <translation>%1 字节</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 字节</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 毫秒</translation>
    </message>
    <message>
        <source>Failed after %1: %2</source>
        <translation>%1 后失败：%2</translation>
    </message>
    <message>
        <source>no status</source>
        <translation>无状态</translation>
    </message>
    <message>
        <source>no authentication</source>
        <translation>未认证</translation>
    </message>
    <message>
        <source>%1, %2, %3, %4</source>
        <translation>%1，%2，%3，%4</translation>
    </message>
    <message>
        <source>Copy as curl</source>
        <translation>复制为 curl 命令</translation>
    </message>
    <message>
        <source>Select Protocol</source>
        <translation>选择协议</translation>
    </message>
    <message>
        <source>Long connect send</source>
        <translation>长连接发送</translation>
    </message>
    <message>
        <source>Short connect send</source>
        <translation>短连接发送</translation>
    </message>
    <message>
        <source>Long connect</source>
        <translation>长连接</translation>
    </message>
    <message>
        <source>Short connect</source>
        <translation>短连接</translation>
    </message>
    <message>
        <source>Sending request...</source>
        <translation>正在发送请求...</translation>
    </message>
    <message>
        <source>Sending to %1 ...</source>
        <translation>正在发送到 %1 ...</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>No device used yet</source>
        <translation>尚未使用过设备</translation>
    </message>
    <message>
        <source>Remember as...</source>
        <translation>记住为...</translation>
    </message>
    <message>
        <source>Remembers the device that the fields show under a name</source>
        <translation>以一个名称记住各输入框中的设备</translation>
    </message>
    <message>
        <source>Forget %1</source>
        <translation>忘记 %1</translation>
    </message>
    <message>
        <source>No password stored for %1.</source>
        <translation>没有保存 %1 的密码。</translation>
    </message>
    <message>
        <source>Name for %1</source>
        <translation>%1 的名称</translation>
    </message>
    <message>
        <source>Remembered %1.</source>
        <translation>已记住 %1。</translation>
    </message>
    <message>
        <source>Remembered %1 as &quot;%2&quot;.</source>
        <translation>已将 %1 记住为“%2”。</translation>
    </message>
    <message>
        <source>Cannot save %1</source>
        <translation>无法保存 %1</translation>
    </message>
    <message>
        <source>Forgot %1.</source>
        <translation>已忘记 %1。</translation>
    </message>
    <message>
        <source>No keychain: the password is not stored.</source>
        <translation>没有可用的钥匙串：密码未保存。</translation>
    </message>
    <message>
        <source>Find in the request:</source>
        <translation>在请求中查找：</translation>
    </message>
    <message>
        <source>Find in the paired request:</source>
        <translation>在配对请求中查找：</translation>
    </message>
    <message>
        <source>Find in the paired answer:</source>
        <translation>在配对应答中查找：</translation>
    </message>
    <message>
        <source>Find in the answer:</source>
        <translation>在应答中查找：</translation>
    </message>
    <message>
        <source>Find:</source>
        <translation>查找：</translation>
    </message>
    <message>
        <source>Enter finds the next, Shift+Enter the previous; Escape closes</source>
        <translation>Enter 查找下一个，Shift+Enter 查找上一个；Escape 关闭</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>下一个</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>上一个</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Went round</source>
        <translation>已从头开始</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>未找到</translation>
    </message>
    <message>
        <source>; saved %1 bytes to %2</source>
        <translation>；已将 %1 字节保存到 %2</translation>
    </message>
    <message>
        <source>Cannot save the answer to %1: %2</source>
        <translation>无法将应答保存到 %1：%2</translation>
    </message>
    <message>
        <source>Devices</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>Devices used before: fill in the fields</source>
        <translation>以前用过的设备：填入各输入框</translation>
    </message>
    <message>
        <source>Please enter the IP and Port:</source>
        <translation>请输入 IP 和端口：</translation>
    </message>
    <message>
        <source>username</source>
        <translation>用户名</translation>
    </message>
    <message>
        <source>password</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>Long port</source>
        <translation>长连接端口</translation>
    </message>
    <message>
        <source>Short port</source>
        <translation>短连接端口</translation>
    </message>
    <message>
        <source>TLS</source>
        <translation>TLS</translation>
    </message>
    <message>
        <source>Both connections over TLS (https:// for the short one). A device whose certificate no authority vouches for is shown with its key once; a key you trust is remembered for its address and port.</source>
        <translation>两种连接都使用 TLS（短连接用 https://）。若设备的证书没有证书颁发机构担保，会显示一次它的密钥；你信任的密钥会按地址和端口记住。</translation>
    </message>
    <message>
        <source>Modules</source>
        <translation>模块</translation>
    </message>
    <message>
        <source>Interface Name</source>
        <translation>接口名称</translation>
    </message>
    <message>
        <source>Click, Enter or the arrow keys load the request into the editor</source>
        <translation>单击、Enter 或方向键会把请求载入编辑框</translation>
    </message>
    <message>
        <source>The request. Short connect send posts the path of its first line and the body after its blank line; libcurl writes the headers and the authentication. Long connect send sends it as it stands, with a true Content-Length.
Ctrl+Enter sends, Ctrl+F finds; right-click: Copy as curl</source>
        <translation>请求。短连接发送会提交首行中的路径和空行之后的正文，报头和认证由 libcurl 生成。长连接发送按原样发送，并使用真实的 Content-Length。
Ctrl+Enter 发送，Ctrl+F 查找；右键：复制为 curl 命令</translation>
    </message>
    <message>
        <source>Send the editor&apos;s request on the long connection (Ctrl+Enter in long mode)</source>
        <translation>在长连接上发送编辑框中的请求（长连接模式下按 Ctrl+Enter）</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>Every message of the long connection, with its pictures (Ctrl+E)</source>
        <translation>长连接的全部消息及其图片（Ctrl+E）</translation>
    </message>
    <message>
        <source>Post the editor&apos;s request on a short connection (Ctrl+Enter in short mode; Escape cancels)</source>
        <translation>通过短连接提交编辑框中的请求（短连接模式下按 Ctrl+Enter；Escape 取消）</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Give up the running post (Escape)</source>
        <translation>放弃正在进行的提交（Escape）</translation>
    </message>
    <message>
        <source>Ctrl+F finds, Ctrl+S saves the whole answer; a shortened answer is copied whole</source>
        <translation>Ctrl+F 查找，Ctrl+S 保存完整应答；缩略显示的应答会被完整复制</translation>
    </message>
    <message>
        <source>Command response results:</source>
        <translation>命令应答结果：</translation>
    </message>
    <message>
        <source>The paired interface&apos;s request: Send posts the path of its first line and the body after its blank line (Ctrl+Shift+Enter)</source>
        <translation>配对接口的请求：“发送”会提交首行中的路径和空行之后的正文（Ctrl+Shift+Enter）</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>Post the paired request (Ctrl+Shift+Enter)</source>
        <translation>提交配对请求（Ctrl+Shift+Enter）</translation>
    </message>
    <message>
        <source>connect to %1 failed: %2</source>
        <translation>连接 %1 失败：%2</translation>
    </message>
    <message>
        <source>Connecting to %1...</source>
        <translation>正在连接 %1...</translation>
    </message>
    <message>
        <source>Sending...</source>
        <translation>正在发送...</translation>
    </message>
    <message>
        <source>connect given up</source>
        <translation>已放弃连接</translation>
    </message>
    <message>
        <source>send failed</source>
        <translation>发送失败</translation>
    </message>
    <message>
        <source>send failed: %1</source>
        <translation>发送失败：%1</translation>
    </message>
    <message>
        <source>%1

The trusted keys are in %2.</source>
        <translation>%1

受信任的密钥保存在 %2 中。</translation>
    </message>
    <message>
        <source>%1.

Trust this key for %2 from now on? Compare it with the key the device itself shows first.</source>
        <translation>%1。

今后是否信任 %2 的这个密钥？请先与设备自身显示的密钥进行比对。</translation>
    </message>
    <message>
        <source>The key is not stored: %1</source>
        <translation>密钥未保存：%1</translation>
    </message>
    <message>
        <source>Trusted the key of %1.</source>
        <translation>已信任 %1 的密钥。</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>Not connected: %1</source>
        <translation>未连接：%1</translation>
    </message>
    <message>
        <source>%1 message, %2 received</source>
        <translation>%1 条消息，已接收 %2</translation>
    </message>
    <message>
        <source>%1 messages, %2 received</source>
        <translation>%1 条消息，已接收 %2</translation>
    </message>
    <message>
        <source>, last answer %1</source>
        <translation>，最后应答 %1</translation>
    </message>
    <message>
        <source>Connected to %1, %2; %3</source>
        <translation>已连接到 %1，%2；%3</translation>
    </message>
    <message>
        <source>Reading failed (%1) after %2</source>
        <translation>读取失败（%1），此前 %2</translation>
    </message>
    <message>
        <source>Closed by the device (%1) after %2</source>
        <translation>设备已关闭连接（%1），此前 %2</translation>
    </message>
    <message>
        <source>Connected to %1, %2</source>
        <translation>已连接到 %1，%2</translation>
    </message>
</context>
<context>
    <name>CoreText</name>
    <message>
        <source>Please select the interface!</source>
        <translation>请选择接口！</translation>
    </message>
    <message>
        <source>Send fail, Please Check the IP/Username/Password/ShortPort !</source>
        <translation>发送失败，请检查 IP/用户名/密码/短连接端口！</translation>
    </message>
    <message>
        <source>The request has no request line: its first line must read &quot;POST /path HTTP/1.1&quot;. Nothing was sent.</source>
        <translation>请求没有请求行：第一行必须是“POST /path HTTP/1.1”。未发送任何内容。</translation>
    </message>
    <message>
        <source>Please input username</source>
        <translation>请输入用户名</translation>
    </message>
    <message>
        <source>Please input password</source>
        <translation>请输入密码</translation>
    </message>
    <message>
        <source>Please input device&apos;s IP</source>
        <translation>请输入设备的 IP</translation>
    </message>
    <message>
        <source>Connect fail, Please Check the IP/Username/Password/LongPort !</source>
        <translation>连接失败，请检查 IP/用户名/密码/长连接端口！</translation>
    </message>
    <message>
        <source>Send fail</source>
        <translation>发送失败</translation>
    </message>
    <message>
        <source>no user name</source>
        <translation>没有用户名</translation>
    </message>
    <message>
        <source>no password</source>
        <translation>没有密码</translation>
    </message>
    <message>
        <source>no device IP</source>
        <translation>没有设备 IP</translation>
    </message>
    <message>
        <source>no socket could be made</source>
        <translation>无法创建套接字</translation>
    </message>
    <message>
        <source>refused, unreachable or timed out</source>
        <translation>被拒绝、不可达或超时</translation>
    </message>
    <message>
        <source>given up</source>
        <translation>已放弃</translation>
    </message>
</context>
<context>
    <name>DialogSeam</name>
    <message>
        <source>Save answer</source>
        <translation>保存应答</translation>
    </message>
    <message>
        <source>XML (*.xml);;All files (*)</source>
        <translation>XML (*.xml);;所有文件 (*)</translation>
    </message>
</context>
<context>
    <name>EventBrowser</name>
    <message>
        <source>Traffic logs (ApiLog*.txt *.txt *.log);;All files (*)</source>
        <translation>通信日志 (ApiLog*.txt *.txt *.log);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Events – live</source>
        <translation>事件 – 实时</translation>
    </message>
    <message>
        <source>Live: the long connection since the program started</source>
        <translation>实时：程序启动以来的长连接</translation>
    </message>
    <message>
        <source>Events – %1</source>
        <translation>事件 – %1</translation>
    </message>
    <message>
        <source>Log read again: %1</source>
        <translation>重新读取的日志：%1</translation>
    </message>
    <message>
        <source>Reading the log</source>
        <translation>正在读取日志</translation>
    </message>
    <message>
        <source>Reading the log: %p%</source>
        <translation>正在读取日志：%p%</translation>
    </message>
    <message>
        <source>The log %1 cannot be read: %2.</source>
        <translation>无法读取日志 %1：%2。</translation>
    </message>
    <message>
        <source>Reading the log stopped: %1.</source>
        <translation>日志读取中止：%1。</translation>
    </message>
    <message>
        <source>Reading the log was cancelled; the rows found so far are listed.</source>
        <translation>日志读取已取消；列出了目前找到的行。</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>（无）</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
    </message>
    <message>
        <source>%1 rows, %2 shown</source>
        <translation>共 %1 行，显示 %2 行</translation>
    </message>
    <message>
        <source>; search “%1”</source>
        <translation>；搜索“%1”</translation>
    </message>
    <message>
        <source> (%1 rows not searched yet)</source>
        <translation>（%1 行尚未搜索）</translation>
    </message>
    <message>
        <source>; following the newest</source>
        <translation>；跟随最新行</translation>
    </message>
    <message>
        <source>%1 new – jump to newest</source>
        <translation>%1 条新消息 – 跳到最新</translation>
    </message>
    <message>
        <source>Jump to newest</source>
        <translation>跳到最新</translation>
    </message>
    <message>
        <source>Select a row to see its message.</source>
        <translation>选择一行以查看其消息。</translation>
    </message>
    <message>
        <source>&lt;detail&gt;The selected message shows here: its headers, then its body with the XML indented and coloured.&lt;/detail&gt;
&lt;picture&gt;Each Base64 run is one line such as [Base64, 18,485 characters: picture snap id5]; double-click it to expand it, or copy it from its menu.&lt;/picture&gt;
&lt;pictures&gt;The message&apos;s pictures show beside the text: click one to see it whole.&lt;/pictures&gt;</source>
        <translation>&lt;detail&gt;所选消息显示在这里：先是报头，然后是正文，其中的 XML 会缩进并着色。&lt;/detail&gt;
&lt;picture&gt;每段 Base64 显示为一行，例如 [Base64, 18,485 characters: picture snap id5]；双击可展开，也可从菜单中复制。&lt;/picture&gt;
&lt;pictures&gt;消息中的图片显示在文本旁边：单击可查看完整图片。&lt;/pictures&gt;</translation>
    </message>
    <message>
        <source>Reading message #%1...</source>
        <translation>正在读取第 %1 条消息...</translation>
    </message>
    <message>
        <source>Request #%1, sent %2, %3 bytes</source>
        <translation>请求 #%1，发送于 %2，%3 字节</translation>
    </message>
    <message>
        <source> (the first %1 are kept)</source>
        <translation>（保留前 %1 字节）</translation>
    </message>
    <message>
        <source>; the send failed</source>
        <translation>；发送失败</translation>
    </message>
    <message>
        <source>%1 #%2</source>
        <translation>%1 #%2</translation>
    </message>
    <message>
        <source>, received %1</source>
        <translation>，接收于 %1</translation>
    </message>
    <message>
        <source>, no smart type</source>
        <translation>，无智能类型</translation>
    </message>
    <message>
        <source>, %1 bytes at offset %2 of %3</source>
        <translation>，%1 字节，位于 %3 的偏移 %2 处</translation>
    </message>
    <message>
        <source>, %1 pictures filed</source>
        <translation>，已保存 %1 张图片</translation>
    </message>
    <message>
        <source>, %1 pictures</source>
        <translation>，%1 张图片</translation>
    </message>
    <message>
        <source>; only %1 of its bytes reached the log</source>
        <translation>；只有 %1 字节写入了日志</translation>
    </message>
    <message>
        <source>The request was %1 bytes; only the first %2 are kept.</source>
        <translation>该请求共 %1 字节；只保留了前 %2 字节。</translation>
    </message>
    <message>
        <source>
decoding...</source>
        <translation>
正在解码...</translation>
    </message>
    <message>
        <source>
%1×%2, %3 bytes</source>
        <translation>
%1×%2，%3 字节</translation>
    </message>
    <message>
        <source>Decoded from the log&apos;s text</source>
        <translation>从日志文本中解码</translation>
    </message>
    <message>
        <source>Collapse this Base64</source>
        <translation>折叠此 Base64</translation>
    </message>
    <message>
        <source>Expand this Base64</source>
        <translation>展开此 Base64</translation>
    </message>
    <message>
        <source>Copy this Base64 (%1 characters)</source>
        <translation>复制此 Base64（%1 个字符）</translation>
    </message>
    <message>
        <source>Expand all Base64</source>
        <translation>展开全部 Base64</translation>
    </message>
    <message>
        <source>Copy message</source>
        <translation>复制消息</translation>
    </message>
    <message>
        <source>Message #%1</source>
        <translation>消息 #%1</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Open containing folder</source>
        <translation>打开所在文件夹</translation>
    </message>
    <message>
        <source>Copy path</source>
        <translation>复制路径</translation>
    </message>
    <message>
        <source>Copy Base64</source>
        <translation>复制 Base64</translation>
    </message>
    <message>
        <source>%1: %p%</source>
        <translation>%1：%p%</translation>
    </message>
    <message>
        <source>Searching</source>
        <translation>正在搜索</translation>
    </message>
    <message>
        <source>the search was cancelled; rows not searched are hidden</source>
        <translation>搜索已取消；未搜索的行已隐藏</translation>
    </message>
    <message>
        <source>The rows chosen hold no pictures.</source>
        <translation>所选的行中没有图片。</translation>
    </message>
    <message>
        <source>Save the pictures under</source>
        <translation>将图片保存到</translation>
    </message>
    <message>
        <source>Saving pictures</source>
        <translation>正在保存图片</translation>
    </message>
    <message>
        <source>%1 pictures saved under %2</source>
        <translation>已将 %1 张图片保存到 %2</translation>
    </message>
    <message>
        <source>; %1 could not be saved (no longer in the log, or not writable)</source>
        <translation>；%1 张无法保存（已不在日志中，或无法写入）</translation>
    </message>
    <message>
        <source>; cancelled</source>
        <translation>；已取消</translation>
    </message>
    <message>
        <source>Open log...</source>
        <translation>打开日志...</translation>
    </message>
    <message>
        <source>List the messages of a captured ApiLog.txt</source>
        <translation>列出已保存的 ApiLog.txt 中的消息</translation>
    </message>
    <message>
        <source>Live</source>
        <translation>实时</translation>
    </message>
    <message>
        <source>Back to the messages of the long connection</source>
        <translation>回到长连接的消息</translation>
    </message>
    <message>
        <source>Save pictures</source>
        <translation>保存图片</translation>
    </message>
    <message>
        <source>File the pictures of rows under a folder of your choice</source>
        <translation>将各行的图片保存到你选择的文件夹</translation>
    </message>
    <message>
        <source>Pictures of the selected rows...</source>
        <translation>所选行的图片...</translation>
    </message>
    <message>
        <source>Pictures of all rows shown...</source>
        <translation>所有显示行的图片...</translation>
    </message>
    <message>
        <source>Answers</source>
        <translation>应答</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>其他</translation>
    </message>
    <message>
        <source>Incomplete</source>
        <translation>不完整</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>已发送</translation>
    </message>
    <message>
        <source>Show:</source>
        <translation>显示：</translation>
    </message>
    <message>
        <source>Search the messages&apos; text (Enter)</source>
        <translation>搜索消息文本（Enter）</translation>
    </message>
    <message>
        <source>Events of the checked smart types are shown</source>
        <translation>显示所勾选智能类型的事件</translation>
    </message>
    <message>
        <source>Smart types</source>
        <translation>智能类型</translation>
    </message>
    <message>
        <source>Copy every byte of the message as it lies in the log</source>
        <translation>按日志中的原样复制消息的全部字节</translation>
    </message>
    <message>
        <source>Indent XML</source>
        <translation>缩进 XML</translation>
    </message>
    <message>
        <source>Show XML that arrived on few lines indented</source>
        <translation>将挤在少数几行中的 XML 缩进显示</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>EventRowModel</name>
    <message>
        <source>request (not sent)</source>
        <translation>请求（未发送）</translation>
    </message>
    <message>
        <source>request</source>
        <translation>请求</translation>
    </message>
    <message>
        <source>answer</source>
        <translation>应答</translation>
    </message>
    <message>
        <source>event</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>incomplete</source>
        <translation>不完整</translation>
    </message>
    <message>
        <source>other</source>
        <translation>其他</translation>
    </message>
    <message>
        <source> (folder note)</source>
        <translation>（文件夹说明）</translation>
    </message>
    <message>
        <source> (broken XML)</source>
        <translation>（XML 损坏）</translation>
    </message>
    <message>
        <source>sent</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>received</source>
        <translation>接收</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>方向</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>路径</translation>
    </message>
    <message>
        <source>Smart type</source>
        <translation>智能类型</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>Pictures</source>
        <translation>图片</translation>
    </message>
</context>
<context>
    <name>Home</name>
    <message>
        <source>Tessaly cannot prepare its home folder.</source>
        <translation>Tessaly 无法准备其主文件夹。</translation>
    </message>
</context>
<context>
    <name>MessageDetail</name>
    <message>
        <source>The log %1 cannot be read (%2): the text of this message cannot be shown.</source>
        <translation>无法读取日志 %1（%2）：无法显示此消息的文本。</translation>
    </message>
    <message>
        <source>The text is no longer in the log: %1 now ends at byte %2, before this message ends.</source>
        <translation>文本已不在日志中：%1 现在在第 %2 字节处结束，早于此消息的结尾。</translation>
    </message>
    <message>
        <source>The text is no longer in the log: %1 holds other bytes there now (it was emptied or replaced since).</source>
        <translation>文本已不在日志中：%1 的该位置现在是其他内容（日志此后被清空或替换）。</translation>
    </message>
    <message>
        <source>The XML body does not parse (%1): shown as it arrived.</source>
        <translation>XML 正文无法解析（%1）：按收到的原样显示。</translation>
    </message>
    <message>
        <source>The body is not XML: shown as it arrived.</source>
        <translation>正文不是 XML：按收到的原样显示。</translation>
    </message>
</context>
<context>
    <name>PictureLoading</name>
    <message>
        <source>not enough memory to decode it</source>
        <translation>内存不足，无法解码</translation>
    </message>
    <message>
        <source>its file is gone; decoded from the log</source>
        <translation>图片文件已不存在；从日志中解码</translation>
    </message>
    <message>
        <source>not an image: %1 bytes, beginning %2</source>
        <translation>不是图片：%1 字节，开头为 %2</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>（无）</translation>
    </message>
</context>
<context>
    <name>PictureViewer</name>
    <message>
        <source>Previous</source>
        <translation>上一个</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>下一个</translation>
    </message>
    <message>
        <source>Fit to window</source>
        <translation>适应窗口</translation>
    </message>
    <message>
        <source>1:1</source>
        <translation>1:1</translation>
    </message>
    <message>
        <source>Open containing folder</source>
        <translation>打开所在文件夹</translation>
    </message>
    <message>
        <source>Copy path</source>
        <translation>复制路径</translation>
    </message>
    <message>
        <source>%1 – %2: decoding...</source>
        <translation>%1 – %2：正在解码...</translation>
    </message>
    <message>
        <source>%1 – %2 (%3 of %4)</source>
        <translation>%1 – %2（第 %3 张，共 %4 张）</translation>
    </message>
    <message>
        <source>, %1 × %2 pixels</source>
        <translation>，%1 × %2 像素</translation>
    </message>
    <message>
        <source>, %1 bytes</source>
        <translation>，%1 字节</translation>
    </message>
</context>
<context>
    <name>RateGraph</name>
    <message>
        <source>Events per second: no times in a log read again</source>
        <translation>每秒事件数：重新读取的日志中没有时间</translation>
    </message>
    <message>
        <source>Events per second, last minute: now %1, peak %2</source>
        <translation>最近一分钟每秒事件数：当前 %1，峰值 %2</translation>
    </message>
</context>
</TS>
