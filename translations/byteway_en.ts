<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AboutBox</name>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Version1.00   </source>
        <translation>Version1.00   </translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>AutomationTexts</name>
    <message>
        <source>自动应答…</source>
        <translation>Auto-reply…</translation>
    </message>
    <message>
        <source>收到的数据符合规则时自动回复</source>
        <translation>Reply automatically when received data matches a rule</translation>
    </message>
    <message>
        <source>启用自动应答</source>
        <translation>Auto-reply on</translation>
    </message>
    <message>
        <source>打开或关闭全部自动应答规则 (每次启动都是关闭的)</source>
        <translation>Turn all auto-reply rules on or off (off at every start)</translation>
    </message>
    <message>
        <source>序列…</source>
        <translation>Sequences…</translation>
    </message>
    <message>
        <source>按步骤运行测试: 发送、等待、检查应答、控制线</source>
        <translation>Run a test step by step: send, wait, check answers, control lines</translation>
    </message>
    <message>
        <source>自动应答</source>
        <translation>Auto-reply</translation>
    </message>
    <message>
        <source>序列</source>
        <translation>Sequences</translation>
    </message>
    <message>
        <source>规则</source>
        <translation>Rules</translation>
    </message>
    <message>
        <source>步骤</source>
        <translation>Steps</translation>
    </message>
    <message>
        <source>规则和序列 (文本)</source>
        <translation>Rules and sequences (text)</translation>
    </message>
    <message>
        <source>应用</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>导入…</source>
        <translation>Import…</translation>
    </message>
    <message>
        <source>导出…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>开启</source>
        <translation>On</translation>
    </message>
    <message>
        <source>恢复暂停的规则</source>
        <translation>Resume paused rules</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>匹配</source>
        <translation>Match</translation>
    </message>
    <message>
        <source>回复</source>
        <translation>Reply</translation>
    </message>
    <message>
        <source>匹配次数</source>
        <translation>Matched</translation>
    </message>
    <message>
        <source>回复次数</source>
        <translation>Fired</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>有效</source>
        <translation>Active</translation>
    </message>
    <message>
        <source>停用</source>
        <translation>Disabled</translation>
    </message>
    <message>
        <source>已暂停</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>已完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>自动应答: %1</source>
        <translation>Auto-reply: %1</translation>
    </message>
    <message>
        <source>序列:</source>
        <translation>Sequence:</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>时间(秒)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>说明</source>
        <translation>Detail</translation>
    </message>
    <message>
        <source>通过</source>
        <translation>Passed</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>正在运行第 %1 步 (%2 秒): %3</source>
        <translation>Running step %1 (%2 s): %3</translation>
    </message>
    <message>
        <source>%1: %2 步通过, %3 步失败, 用时 %4 秒 %5</source>
        <translation>%1: %2 steps passed, %3 failed, %4 s %5</translation>
    </message>
    <message>
        <source>未通过</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>无法运行</source>
        <translation>Could not run</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>没有序列: 先在文本中写一个 [sequence] 并应用</source>
        <translation>No sequence: write a [sequence] in the text and apply it first</translation>
    </message>
    <message>
        <source>端口未打开, 无法运行序列</source>
        <translation>The port is not open; the sequence cannot run</translation>
    </message>
    <message>
        <source>已应用: %1 条规则, %2 个序列</source>
        <translation>Applied: %1 rules, %2 sequences</translation>
    </message>
    <message>
        <source>自动化文件 (*.ini *.txt);;所有文件 (*)</source>
        <translation>Automation files (*.ini *.txt);;All files (*)</translation>
    </message>
</context>
<context>
    <name>DocumentFile</name>
    <message>
        <source>Cannot open file &quot;%1&quot;: %2</source>
        <translation>Cannot open file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>Cannot write file &quot;%1&quot;: %2</source>
        <translation>Cannot write file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>File &quot;%1&quot; is not valid rich text: %2</source>
        <translation>File &quot;%1&quot; is not valid rich text: %2</translation>
    </message>
    <message>
        <source>File &quot;%1&quot; is too large for a document</source>
        <translation>File &quot;%1&quot; is too large for a document</translation>
    </message>
</context>
<context>
    <name>FindReplace</name>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>替换</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>查找内容(&amp;N):</source>
        <translation>Fi&amp;nd what:</translation>
    </message>
    <message>
        <source>替换为(&amp;P):</source>
        <translation>Re&amp;place with:</translation>
    </message>
    <message>
        <source>全字匹配(&amp;W)</source>
        <translation>Match &amp;whole word only</translation>
    </message>
    <message>
        <source>区分大小写(&amp;C)</source>
        <translation>Match &amp;case</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>向上(&amp;U)</source>
        <translation>&amp;Up</translation>
    </message>
    <message>
        <source>向下(&amp;D)</source>
        <translation>&amp;Down</translation>
    </message>
    <message>
        <source>查找下一个(&amp;F)</source>
        <translation>&amp;Find Next</translation>
    </message>
    <message>
        <source>替换(&amp;R)</source>
        <translation>&amp;Replace</translation>
    </message>
    <message>
        <source>全部替换(&amp;A)</source>
        <translation>Replace &amp;All</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>文档搜索完毕！</source>
        <translation>Finished searching the document.</translation>
    </message>
</context>
<context>
    <name>FollowView</name>
    <message>
        <source>▼ 未跟随新数据</source>
        <translation>▼ Not following</translation>
    </message>
    <message>
        <source>新数据仍在末尾添加。单击或按 Ctrl+End 回到末尾并跟随。</source>
        <translation>New data is still being added at the end. Click or press Ctrl+End to go to the end and follow it.</translation>
    </message>
</context>
<context>
    <name>LineTestTexts</name>
    <message>
        <source>工具(&amp;T)</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>测试线路的工具</source>
        <translation>Tools that test the line</translation>
    </message>
    <message>
        <source>线路测试</source>
        <translation>Line test</translation>
    </message>
    <message>
        <source>用测试图案测量线路: 速率、错误和误码率</source>
        <translation>Measures the line with a test pattern: rate, errors and bit error rate</translation>
    </message>
    <message>
        <source>图案:</source>
        <translation>Pattern:</translation>
    </message>
    <message>
        <source>计数 0..255</source>
        <translation>Counting 0..255</translation>
    </message>
    <message>
        <source>文件…</source>
        <translation>File…</translation>
    </message>
    <message>
        <source>方式:</source>
        <translation>Mode:</translation>
    </message>
    <message>
        <source>环回</source>
        <translation>Loopback</translation>
    </message>
    <message>
        <source>只收</source>
        <translation>Receive only</translation>
    </message>
    <message>
        <source>只发</source>
        <translation>Transmit only</translation>
    </message>
    <message>
        <source>时长(秒):</source>
        <translation>Duration (s):</translation>
    </message>
    <message>
        <source>不限</source>
        <translation>No limit</translation>
    </message>
    <message>
        <source>速率(字节/秒):</source>
        <translation>Rate (bytes/s):</translation>
    </message>
    <message>
        <source>线路最快</source>
        <translation>Line speed</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>保存 JSON</source>
        <translation>Save JSON</translation>
    </message>
    <message>
        <source>保存 CSV</source>
        <translation>Save CSV</translation>
    </message>
    <message>
        <source>复制摘要</source>
        <translation>Copy summary</translation>
    </message>
    <message>
        <source>发送 %1 字节, 接收 %2 字节, 已检查 %3 字节</source>
        <translation>Sent %1 bytes, received %2 bytes, checked %3 bytes</translation>
    </message>
    <message>
        <source>速率: 当前 %1 字节/秒, 平均 %2 字节/秒 (线路容量的 %3%)</source>
        <translation>Rate: now %1 bytes/s, average %2 bytes/s (%3% of the line&apos;s capacity)</translation>
    </message>
    <message>
        <source>错误: %1 (损坏 %2, 丢失 %3, 插入 %4)</source>
        <translation>Errors: %1 (corrupted %2, lost %3, inserted %4)</translation>
    </message>
    <message>
        <source>%1 个错误位 / %2 位: 误码率 &lt; %3 (置信度 95%)</source>
        <translation>%1 bit errors in %2 bits: BER &lt; %3 at 95 % confidence</translation>
    </message>
    <message>
        <source>往返延迟: 最小 %1 ms, 中位 %2 ms, p99 %3 ms</source>
        <translation>Round trip: min %1 ms, median %2 ms, p99 %3 ms</translation>
    </message>
    <message>
        <source>往返延迟: 无</source>
        <translation>Round trip: none</translation>
    </message>
    <message>
        <source>驱动计数: 溢出 %1, 帧错误 %2, 校验错误 %3, 中断 %4, 缓冲区溢出 %5</source>
        <translation>Driver: overrun %1, framing %2, parity %3, break %4, buffer overrun %5</translation>
    </message>
    <message>
        <source>驱动计数: 驱动不提供</source>
        <translation>Driver counters: the driver keeps none</translation>
    </message>
    <message>
        <source>测试中…</source>
        <translation>Testing…</translation>
    </message>
    <message>
        <source>通过</source>
        <translation>Passed</translation>
    </message>
    <message>
        <source>未通过</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>端口未打开, 无法测试</source>
        <translation>The port is not open; nothing to test</translation>
    </message>
    <message>
        <source>测试中断: %1</source>
        <translation>The test stopped: %1</translation>
    </message>
    <message>
        <source>偏移</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>应为</source>
        <translation>Expected</translation>
    </message>
    <message>
        <source>实收</source>
        <translation>Received</translation>
    </message>
    <message>
        <source>时间(秒)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>损坏</source>
        <translation>Corrupted</translation>
    </message>
    <message>
        <source>丢失</source>
        <translation>Lost</translation>
    </message>
    <message>
        <source>插入</source>
        <translation>Inserted</translation>
    </message>
    <message>
        <source>速率 (KB/s)</source>
        <translation>Rate (KB/s)</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Errors</translation>
    </message>
    <message>
        <source>选择图案文件</source>
        <translation>Choose the pattern file</translation>
    </message>
    <message>
        <source>保存结果</source>
        <translation>Save the result</translation>
    </message>
    <message>
        <source>无法写入 %1</source>
        <translation>Cannot write %1</translation>
    </message>
    <message>
        <source>无法读取图案文件: %1</source>
        <translation>Cannot read the pattern file: %1</translation>
    </message>
    <message>
        <source>图案</source>
        <translation>Pattern</translation>
    </message>
    <message>
        <source>方式</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>时长（秒）</source>
        <translation>Duration (seconds)</translation>
    </message>
    <message>
        <source>速率（字节/秒）</source>
        <translation>Rate (bytes/second)</translation>
    </message>
    <message>
        <source>速率与错误的曲线</source>
        <translation>Rate and error chart</translation>
    </message>
    <message>
        <source>错误位置</source>
        <translation>Error places</translation>
    </message>
</context>
<context>
    <name>LineTexts</name>
    <message>
        <source>DTR（数据终端就绪）：按下为有效，显示驱动程序读回的状态</source>
        <translation>DTR (data terminal ready): down means asserted, as read back from the driver</translation>
    </message>
    <message>
        <source>RTS（请求发送）：按下为有效，显示驱动程序读回的状态</source>
        <translation>RTS (request to send): down means asserted, as read back from the driver</translation>
    </message>
    <message>
        <source>CTS（清除发送）</source>
        <translation>CTS (clear to send)</translation>
    </message>
    <message>
        <source>DSR（数据设备就绪）</source>
        <translation>DSR (data set ready)</translation>
    </message>
    <message>
        <source>DCD（载波检测）</source>
        <translation>DCD (data carrier detect)</translation>
    </message>
    <message>
        <source>RI（振铃指示）</source>
        <translation>RI (ring indicator)</translation>
    </message>
    <message>
        <source>%1 脉冲（%2 毫秒）</source>
        <translation>Pulse %1 (%2 ms)</translation>
    </message>
    <message>
        <source>发送中断</source>
        <translation>Send break</translation>
    </message>
    <message>
        <source>在发送线上发出 %1 毫秒的中断信号</source>
        <translation>Holds the transmit line in break for %1 ms</translation>
    </message>
    <message>
        <source>%1
不可用：%2</source>
        <translation>%1
Not available: %2</translation>
    </message>
    <message>
        <source>%1
RTS/CTS 流控掌管着 RTS</source>
        <translation>%1
RTS/CTS flow control drives RTS</translation>
    </message>
    <message>
        <source>串口未打开</source>
        <translation>The port is not open</translation>
    </message>
    <message>
        <source>流控</source>
        <translation>Flow</translation>
    </message>
    <message>
        <source>保持原样</source>
        <translation>As is</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>打开串口时设置的流控；“保持原样”不改动设备的设置</source>
        <translation>Flow control set when the port opens; &quot;As is&quot; keeps the device&apos;s own</translation>
    </message>
    <message>
        <source>控制线…</source>
        <translation>Lines…</translation>
    </message>
    <message>
        <source>控制线设置</source>
        <translation>Control lines</translation>
    </message>
    <message>
        <source>打开时 DTR</source>
        <translation>DTR at open</translation>
    </message>
    <message>
        <source>打开时 RTS</source>
        <translation>RTS at open</translation>
    </message>
    <message>
        <source>有效</source>
        <translation>On</translation>
    </message>
    <message>
        <source>无效</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>脉冲时长</source>
        <translation>Pulse length</translation>
    </message>
    <message>
        <source>中断时长</source>
        <translation>Break length</translation>
    </message>
    <message>
        <source> 毫秒</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>打开串口时写入以下 RS-485 设置</source>
        <translation>Write these RS-485 settings when the port opens</translation>
    </message>
    <message>
        <source>启用 RS-485</source>
        <translation>Enable RS-485</translation>
    </message>
    <message>
        <source>发送时 RTS 有效</source>
        <translation>RTS on while sending</translation>
    </message>
    <message>
        <source>发送后 RTS 有效</source>
        <translation>RTS on after sending</translation>
    </message>
    <message>
        <source>发送前延时</source>
        <translation>Delay before sending</translation>
    </message>
    <message>
        <source>发送后延时</source>
        <translation>Delay after sending</translation>
    </message>
    <message>
        <source>发送时也接收</source>
        <translation>Receive while sending</translation>
    </message>
    <message>
        <source>当前设备不支持 RS-485：%1</source>
        <translation>This device has no RS-485: %1</translation>
    </message>
    <message>
        <source>%1
状态未知：服务器没有报告这条线的状态</source>
        <translation>%1
State unknown: the server has not reported this line</translation>
    </message>
    <message>
        <source>状态未知</source>
        <translation>State unknown</translation>
    </message>
    <message>
        <source>%1 ?</source>
        <translation>%1 ?</translation>
    </message>
</context>
<context>
    <name>MainTexts</name>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>接收</source>
        <translation>Receive</translation>
    </message>
    <message>
        <source> 设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>开关串口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>按下时关闭串口</source>
        <translation>Port on/off: press to close the port</translation>
    </message>
    <message>
        <source>当前发送数据：</source>
        <translation>Data to send:</translation>
    </message>
    <message>
        <source>数据格式：</source>
        <translation>Data format:</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>File related commands</source>
        <translation>File related commands</translation>
    </message>
    <message>
        <source>新建(&amp;N)</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>New|Create a new file</source>
        <translation>New|Create a new file</translation>
    </message>
    <message>
        <source>打开(&amp;O)</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <source>Open|Open a file</source>
        <translation>Open|Open a file</translation>
    </message>
    <message>
        <source>关闭(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>Close|Close current file</source>
        <translation>Close|Close current file</translation>
    </message>
    <message>
        <source>保存为 (&amp;A)...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>Save As|Save current file with different name</source>
        <translation>Save As|Save current file with different name</translation>
    </message>
    <message>
        <source>记录到文件(&amp;L)...</source>
        <translation>&amp;Log to File...</translation>
    </message>
    <message>
        <source>Log to file|Record every byte received and sent to a file</source>
        <translation>Log to file|Record every byte received and sent to a file</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Exit|Exit application</source>
        <translation>Exit|Exit application</translation>
    </message>
    <message>
        <source>编辑(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>Edit commands</source>
        <translation>Edit commands</translation>
    </message>
    <message>
        <source>剪切(&amp;T)</source>
        <translation>Cu&amp;t</translation>
    </message>
    <message>
        <source>Cut|Cuts the selection and puts it on the Clipboard</source>
        <translation>Cut|Cuts the selection and puts it on the Clipboard</translation>
    </message>
    <message>
        <source>复制(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>Copy|Copies the selection and puts it on the Clipboard</source>
        <translation>Copy|Copies the selection and puts it on the Clipboard</translation>
    </message>
    <message>
        <source>粘贴(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>Paste|Inserts Clipboard contents</source>
        <translation>Paste|Inserts Clipboard contents</translation>
    </message>
    <message>
        <source>查找(&amp;F)</source>
        <translation>&amp;Find...</translation>
    </message>
    <message>
        <source>替换(&amp;R)</source>
        <translation>&amp;Replace...</translation>
    </message>
    <message>
        <source>时间标记(&amp;M)</source>
        <translation>Time Sta&amp;mps</translation>
    </message>
    <message>
        <source>Time stamps|Put the time of day before every Receiving: and Sending: header</source>
        <translation>Time stamps|Put the time of day before every Receiving: and Sending: header</translation>
    </message>
    <message>
        <source>窗口(&amp;W)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>Window related commands</source>
        <translation>Window related commands</translation>
    </message>
    <message>
        <source>层叠(&amp;C)</source>
        <translation>&amp;Cascade</translation>
    </message>
    <message>
        <source>Cascade</source>
        <translation>Cascade</translation>
    </message>
    <message>
        <source>水平平铺(&amp;H)</source>
        <translation>Tile &amp;Horizontally</translation>
    </message>
    <message>
        <source>Tile Horizontally</source>
        <translation>Tile Horizontally</translation>
    </message>
    <message>
        <source>垂直平铺(&amp;V)</source>
        <translation>Tile &amp;Vertically</translation>
    </message>
    <message>
        <source>Tile Vertically</source>
        <translation>Tile Vertically</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>Help topics</source>
        <translation>Help topics</translation>
    </message>
    <message>
        <source>关于(&amp;A)...</source>
        <translation>&amp;About...</translation>
    </message>
    <message>
        <source>All files (*.*) (*)</source>
        <translation>All files (*.*) (*)</translation>
    </message>
    <message>
        <source>All Files(*.*) (*)</source>
        <translation>All Files(*.*) (*)</translation>
    </message>
    <message>
        <source>窗口</source>
        <translation>Window</translation>
    </message>
    <message>
        <source>记录到文件</source>
        <translation>Log to File</translation>
    </message>
    <message>
        <source>无法打开记录文件：%1</source>
        <translation>Cannot open the log file: %1</translation>
    </message>
    <message>
        <source>记录到文件已停止：%1</source>
        <translation>Logging to file stopped: %1</translation>
    </message>
    <message>
        <source>记录文件</source>
        <translation>Log file</translation>
    </message>
    <message>
        <source>正在记录到 %1</source>
        <translation>Logging to %1</translation>
    </message>
    <message>
        <source>收发统计</source>
        <translation>Traffic</translation>
    </message>
    <message>
        <source>收 %1  发 %2  %3</source>
        <translation>RX %1  TX %2  %3</translation>
    </message>
    <message>
        <source>  错误 %1</source>
        <translation>  Errors %1</translation>
    </message>
    <message>
        <source>自打开串口起收到 %1 字节，发出 %2 字节
最近一秒的接收速率：%3</source>
        <translation>Since the port was opened: %1 bytes received, %2 bytes sent
Receive rate over the last second: %3</translation>
    </message>
    <message>
        <source>
线路错误：
帧错误 %1
校验错误 %2
溢出 %3
缓冲区溢出 %4
中断 %5</source>
        <translation>
Line errors:
Framing %1
Parity %2
Overrun %3
Buffer overflow %4
Break %5</translation>
    </message>
    <message>
        <source>16进制</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>10进制</source>
        <translation>Decimal</translation>
    </message>
    <message>
        <source>ACSII字符</source>
        <translation>ASCII characters</translation>
    </message>
    <message>
        <source>接收已停止：接收窗口已满</source>
        <translation>Reception stopped: the receiving window is full</translation>
    </message>
    <message>
        <source>接收已停止：接收窗口已关闭</source>
        <translation>Reception stopped: the receiving window was closed</translation>
    </message>
    <message>
        <source>接收已停止：每行字数为0</source>
        <translation>Reception stopped: bytes per line is 0</translation>
    </message>
    <message>
        <source>接收已停止：每段字数为0</source>
        <translation>Reception stopped: bytes per block is 0</translation>
    </message>
    <message>
        <source>（没有窗口能写入接收统计）</source>
        <translation> (no window could take the reception summary)</translation>
    </message>
    <message>
        <source>串口未打开，未发送数据</source>
        <translation>The port is not open; nothing was sent</translation>
    </message>
    <message>
        <source>串口写入失败，发送已停止：已发送 %1 个字节</source>
        <translation>Writing to the port failed; sending stopped after %1 bytes</translation>
    </message>
    <message>
        <source>端口状态</source>
        <translation>Port state</translation>
    </message>
    <message>
        <source>已打开</source>
        <translation>open</translation>
    </message>
    <message>
        <source>已关闭</source>
        <translation>closed</translation>
    </message>
    <message>
        <source>未打开</source>
        <translation>not open</translation>
    </message>
    <message>
        <source>设备已断开，等待设备重新接入</source>
        <translation>device disconnected, waiting for it to return</translation>
    </message>
    <message>
        <source>打开失败：%1</source>
        <translation>cannot open: %1</translation>
    </message>
    <message>
        <source>设备不存在</source>
        <translation>no such device</translation>
    </message>
    <message>
        <source>没有权限，用户须加入 %1 组</source>
        <translation>permission denied; the user must be in the %1 group</translation>
    </message>
    <message>
        <source>没有权限</source>
        <translation>permission denied</translation>
    </message>
    <message>
        <source>设备被 %1 占用</source>
        <translation>device in use by %1</translation>
    </message>
    <message>
        <source>设备被其他程序占用</source>
        <translation>device in use by another program</translation>
    </message>
    <message>
        <source>端口号须在 1 到 8 之间</source>
        <translation>the port number must be 1 to 8</translation>
    </message>
    <message>
        <source>设备不接受这些设置</source>
        <translation>the device refused these settings</translation>
    </message>
    <message>
        <source>不是串口设备</source>
        <translation>not a serial device</translation>
    </message>
    <message>
        <source>（下次打开：%1）</source>
        <translation> (next open: %1)</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Opening File</translation>
    </message>
    <message>
        <source>正在打开文件 %1 ……</source>
        <translation>Opening %1…</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>收发分行(&amp;L)</source>
        <translation>Separate &amp;Lines per Direction</translation>
    </message>
    <message>
        <source>每次在发送和接收之间切换时，另起一行并写上该方向的标题</source>
        <translation>Start a new line with its own header at each change between sending and receiving</translation>
    </message>
    <message>
        <source>串口(&amp;P)</source>
        <translation>&amp;Port</translation>
    </message>
    <message>
        <source>串口命令</source>
        <translation>Serial port commands</translation>
    </message>
    <message>
        <source>发送(&amp;S)</source>
        <translation>&amp;Send</translation>
    </message>
    <message>
        <source>接收(&amp;R)</source>
        <translation>&amp;Receive</translation>
    </message>
    <message>
        <source>清空(&amp;E)</source>
        <translation>Cl&amp;ear</translation>
    </message>
    <message>
        <source>开关串口(&amp;C)</source>
        <translation>Open/&amp;Close Port</translation>
    </message>
    <message>
        <source>设置(&amp;O)...</source>
        <translation>Setti&amp;ngs...</translation>
    </message>
    <message>
        <source>消息</source>
        <translation>Messages</translation>
    </message>
    <message>
        <source>最近的消息：</source>
        <translation>Recent messages:</translation>
    </message>
    <message>
        <source>系统的说明：%1</source>
        <translation>The system says: %1</translation>
    </message>
    <message>
        <source>把当前用户加入 %1 组，然后注销并重新登录：
sudo usermod -aG %1 $USER</source>
        <translation>Add your user to the group %1, then log out and back in:
sudo usermod -aG %1 $USER</translation>
    </message>
    <message>
        <source>发送文件(&amp;S)...</source>
        <translation>&amp;Send file...</translation>
    </message>
    <message>
        <source>发送文件|以原始方式或用 XMODEM、YMODEM 发送一个文件</source>
        <translation>Send file|Send a file raw or with XMODEM or YMODEM</translation>
    </message>
    <message>
        <source>接收文件(&amp;R)...</source>
        <translation>&amp;Receive file...</translation>
    </message>
    <message>
        <source>接收文件|用 XMODEM 或 YMODEM 把文件接收到一个文件夹</source>
        <translation>Receive file|Receive files with XMODEM or YMODEM into a folder</translation>
    </message>
    <message>
        <source>正在连接</source>
        <translation>connecting</translation>
    </message>
    <message>
        <source>%1，正在重新连接</source>
        <translation>%1, reconnecting</translation>
    </message>
    <message>
        <source>找不到主机</source>
        <translation>host not found</translation>
    </message>
    <message>
        <source>连接被拒绝</source>
        <translation>connection refused</translation>
    </message>
    <message>
        <source>超时无应答</source>
        <translation>no answer within the time-out</translation>
    </message>
    <message>
        <source>服务器拒绝了 %1</source>
        <translation>the server refused %1</translation>
    </message>
    <message>
        <source>连接已断开</source>
        <translation>the connection dropped</translation>
    </message>
    <message>
        <source>网络错误</source>
        <translation>network error</translation>
    </message>
    <message>
        <source>原始 TCP，线路设置不适用</source>
        <translation>raw TCP, line settings do not apply</translation>
    </message>
    <message>
        <source>DTR(&amp;D)</source>
        <translation>&amp;DTR</translation>
    </message>
    <message>
        <source>RTS(&amp;T)</source>
        <translation>R&amp;TS</translation>
    </message>
    <message>
        <source>发送中断(&amp;B)</source>
        <translation>Send &amp;break</translation>
    </message>
    <message>
        <source>发送栏(&amp;B)</source>
        <translation>Send &amp;bar</translation>
    </message>
    <message>
        <source>转到发送栏(&amp;G)</source>
        <translation>&amp;Go to the send bar</translation>
    </message>
    <message>
        <source>服务器未在时限内应答 RFC 2217 协商</source>
        <translation>the server did not answer the RFC 2217 negotiation in time</translation>
    </message>
    <message>
        <source>是系统控制台</source>
        <translation>it is the system console</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>状态栏</source>
        <translation>Status bar</translation>
    </message>
    <message>
        <source>工具栏的更多控件</source>
        <translation>More tool bar controls</translation>
    </message>
    <message>
        <source>文档以 GBK 保存文字：其中没有的字符已换成“?”</source>
        <translation>Documents keep their text in GBK: characters it lacks became &quot;?&quot;</translation>
    </message>
    <message>
        <source>数据格式</source>
        <translation>Data format</translation>
    </message>
</context>
<context>
    <name>SendBarTexts</name>
    <message>
        <source>发送栏</source>
        <translation>Send bar</translation>
    </message>
    <message>
        <source>显示或隐藏发送栏：按回车发送一行，保存常用命令</source>
        <translation>Shows or hides the send bar: Enter sends a line; saved commands</translation>
    </message>
    <message>
        <source>发送文本</source>
        <translation>Text to send</translation>
    </message>
    <message>
        <source>回车发送，上下键翻出发送过的行。文本方式可用 \r \n \t \\ \xHH</source>
        <translation>Enter sends; Up and Down recall sent lines. Text mode takes \r \n \t \\ \xHH</translation>
    </message>
    <message>
        <source>GBK 中没有这些字符，不能发送：%1</source>
        <translation>GBK lacks these characters, they cannot be sent: %1</translation>
    </message>
    <message>
        <source>方式</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>行尾</source>
        <translation>Ending</translation>
    </message>
    <message>
        <source>校验</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>文本</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>十六进制</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>%1（低字节在前）</source>
        <translation>%1 (low byte first)</translation>
    </message>
    <message>
        <source>%1（高字节在前）</source>
        <translation>%1 (high byte first)</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>字节：%1</source>
        <translation>Bytes: %1</translation>
    </message>
    <message>
        <source>字节：（无）</source>
        <translation>Bytes: (none)</translation>
    </message>
    <message>
        <source>不能发送：%1</source>
        <translation>Not sent: %1</translation>
    </message>
    <message>
        <source>末尾的 \ 后面缺少转义字符（要发送 \ 请写 \\）</source>
        <translation>A \ at the end starts no escape (write \\ to send \)</translation>
    </message>
    <message>
        <source>不认识的转义 %1：只有 \r \n \t \\ \xHH</source>
        <translation>Unknown escape %1: only \r \n \t \\ \xHH</translation>
    </message>
    <message>
        <source>%1：\x 后面要有两位十六进制数字</source>
        <translation>%1: \x needs two hexadecimal digits</translation>
    </message>
    <message>
        <source>GBK 中没有字符 %1</source>
        <translation>GBK lacks the character %1</translation>
    </message>
    <message>
        <source>%1 不是十六进制数字</source>
        <translation>%1 is not a hexadecimal digit</translation>
    </message>
    <message>
        <source>%1 的数字个数是奇数：每个字节两位</source>
        <translation>%1 has an odd number of digits: two per byte</translation>
    </message>
    <message>
        <source>0x 后面没有数字</source>
        <translation>0x without digits</translation>
    </message>
    <message>
        <source>常用命令</source>
        <translation>Commands</translation>
    </message>
    <message>
        <source>单击发送；Ctrl+1 … Ctrl+9 发送前九条；右键编辑</source>
        <translation>Click to send; Ctrl+1 … Ctrl+9 send the first nine; right-click to edit</translation>
    </message>
    <message>
        <source>把发送栏当前的内容存为命令</source>
        <translation>Saves the send bar&apos;s line as a command</translation>
    </message>
    <message>
        <source>命令文件 (*.txt);;所有文件 (*)</source>
        <translation>Command files (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>导入命令</source>
        <translation>Import commands</translation>
    </message>
    <message>
        <source>导入了 %1 条命令。</source>
        <translation>Imported %1 commands.</translation>
    </message>
    <message>
        <source>第 %1 行：%2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>命令“%1”不能发送：%2</source>
        <translation>Command &quot;%1&quot; not sent: %2</translation>
    </message>
    <message>
        <source>命令</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>请填写名称（不能含制表符）</source>
        <translation>Enter a name (no tabs)</translation>
    </message>
    <message>
        <source>正在发送，请等这次发送结束</source>
        <translation>A send is running; wait for it to end</translation>
    </message>
    <message>
        <source>没有显示回显的窗口：请先新建一个窗口</source>
        <translation>No window to show the echo: open a new window first</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>字节（共 %1 个）：%2 …</source>
        <translation>Bytes (%1 in all): %2 …</translation>
    </message>
    <message>
        <source>没有要发送的字节：行是空的，行尾为“无”</source>
        <translation>Nothing to send: the line is empty and its ending is None</translation>
    </message>
    <message>
        <source>一行最多 %L1 个字符，超出的部分没有放进发送栏</source>
        <translation>A line holds at most %L1 characters; the rest was not put into the send bar</translation>
    </message>
    <message>
        <source>添加(&amp;A)</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>编辑(&amp;D)</source>
        <translation>E&amp;dit</translation>
    </message>
    <message>
        <source>删除(&amp;M)</source>
        <translation>Re&amp;move</translation>
    </message>
    <message>
        <source>上移(&amp;U)</source>
        <translation>&amp;Up</translation>
    </message>
    <message>
        <source>下移(&amp;N)</source>
        <translation>Dow&amp;n</translation>
    </message>
    <message>
        <source>导入(&amp;I)…</source>
        <translation>&amp;Import…</translation>
    </message>
    <message>
        <source>导出(&amp;X)…</source>
        <translation>E&amp;xport…</translation>
    </message>
    <message>
        <source>导出命令</source>
        <translation>Export commands</translation>
    </message>
    <message>
        <source>有 %1 行有错，没有导入：</source>
        <translation>%1 lines are wrong and were not imported:</translation>
    </message>
    <message>
        <source>……另外还有 %1 行有错</source>
        <translation>… and %1 more wrong lines</translation>
    </message>
</context>
<context>
    <name>SessionTexts</name>
    <message>
        <source>会话视图</source>
        <translation>Session view</translation>
    </message>
    <message>
        <source>按时间和方向查看收发的每个字节: 文本、十六进制或帧</source>
        <translation>Every byte sent and received with its time and direction: as text, hex dump or frames</translation>
    </message>
    <message>
        <source>显示方式</source>
        <translation>Rendering</translation>
    </message>
    <message>
        <source>文本</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>十六进制</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>帧</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>编码</source>
        <translation>Encoding</translation>
    </message>
    <message>
        <source>换行</source>
        <translation>Line break</translation>
    </message>
    <message>
        <source>任意</source>
        <translation>Any</translation>
    </message>
    <message>
        <source>去除 ANSI 序列</source>
        <translation>Strip ANSI sequences</translation>
    </message>
    <message>
        <source>分帧</source>
        <translation>Split frames</translation>
    </message>
    <message>
        <source>间隔(毫秒)</source>
        <translation>Gap (ms)</translation>
    </message>
    <message>
        <source>间隔(字符时间)</source>
        <translation>Gap (character times)</translation>
    </message>
    <message>
        <source>分隔符(十六进制)</source>
        <translation>Delimiter (hex)</translation>
    </message>
    <message>
        <source>定长(字节)</source>
        <translation>Fixed length (bytes)</translation>
    </message>
    <message>
        <source>分帧的值</source>
        <translation>Split value</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>校验 CRC/NMEA</source>
        <translation>Check CRC/NMEA</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>打开记录…</source>
        <translation>Open capture…</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>区分大小写</source>
        <translation>Case sensitive</translation>
    </message>
    <message>
        <source>上一个</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>下一个</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>只显示匹配</source>
        <translation>Only matches</translation>
    </message>
    <message>
        <source>%1 处</source>
        <translation>%1 hits</translation>
    </message>
    <message>
        <source>超过 %1 处</source>
        <translation>more than %1 hits</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>复制为文本</source>
        <translation>Copy as text</translation>
    </message>
    <message>
        <source>复制为十六进制</source>
        <translation>Copy as hex</translation>
    </message>
    <message>
        <source>复制为 C 数组</source>
        <translation>Copy as C array</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>选中部分或全部存为记录文件…</source>
        <translation>Save selection or all as capture file…</translation>
    </message>
    <message>
        <source>选中部分或全部存为 CSV…</source>
        <translation>Save selection or all as CSV…</translation>
    </message>
    <message>
        <source>内存上限(MiB)</source>
        <translation>Memory bound (MiB)</translation>
    </message>
    <message>
        <source>高亮规则…</source>
        <translation>Highlight rules…</translation>
    </message>
    <message>
        <source>每行一条: text、regex 或 hex, 颜色 #rrggbb, 模式, 以制表符分隔</source>
        <translation>One a line: text, regex or hex, colour #rrggbb, pattern, separated by tabs</translation>
    </message>
    <message>
        <source>第 %1 行: %2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>高亮规则太慢, 已停用: %1</source>
        <translation>Highlight rule too slow, turned off: %1</translation>
    </message>
    <message>
        <source>已丢弃最早的 %1 字节</source>
        <translation>Oldest %1 bytes dropped</translation>
    </message>
    <message>
        <source>%1 字节未能记下</source>
        <translation>%1 bytes could not be kept</translation>
    </message>
    <message>
        <source>%1 字节</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>会话内容</source>
        <translation>Session contents</translation>
    </message>
    <message>
        <source>无法分帧: %1</source>
        <translation>Cannot split frames: %1</translation>
    </message>
    <message>
        <source>不是十六进制字节: %1</source>
        <translation>Not hexadecimal bytes: %1</translation>
    </message>
    <message>
        <source>无法打开记录文件</source>
        <translation>Cannot open the capture file</translation>
    </message>
    <message>
        <source>无法保存文件 %1</source>
        <translation>Cannot save the file %1</translation>
    </message>
    <message>
        <source>记录文件 (*.log *.txt);;原始记录 (*)</source>
        <translation>Capture files (*.log *.txt);;Raw captures (*)</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>异常</source>
        <translation>exception</translation>
    </message>
    <message>
        <source>CRC 正确</source>
        <translation>CRC good</translation>
    </message>
    <message>
        <source>CRC 错误</source>
        <translation>CRC bad</translation>
    </message>
    <message>
        <source>校验和正确</source>
        <translation>checksum good</translation>
    </message>
    <message>
        <source>校验和错误</source>
        <translation>checksum bad</translation>
    </message>
    <message>
        <source>读线圈</source>
        <translation>Read Coils</translation>
    </message>
    <message>
        <source>读离散输入</source>
        <translation>Read Discrete Inputs</translation>
    </message>
    <message>
        <source>读保持寄存器</source>
        <translation>Read Holding Registers</translation>
    </message>
    <message>
        <source>读输入寄存器</source>
        <translation>Read Input Registers</translation>
    </message>
    <message>
        <source>写单个线圈</source>
        <translation>Write Single Coil</translation>
    </message>
    <message>
        <source>写单个寄存器</source>
        <translation>Write Single Register</translation>
    </message>
    <message>
        <source>写多个线圈</source>
        <translation>Write Multiple Coils</translation>
    </message>
    <message>
        <source>写多个寄存器</source>
        <translation>Write Multiple Registers</translation>
    </message>
    <message>
        <source>功能 %1</source>
        <translation>Function %1</translation>
    </message>
    <message>
        <source>收</source>
        <translation>RX</translation>
    </message>
    <message>
        <source>发</source>
        <translation>TX</translation>
    </message>
</context>
<context>
    <name>SystemReasonTexts</name>
    <message>
        <source>没有权限</source>
        <translation>No permission</translation>
    </message>
    <message>
        <source>设备正被其他程序占用</source>
        <translation>The device is in use by another program</translation>
    </message>
    <message>
        <source>设备或文件不存在</source>
        <translation>The device or file does not exist</translation>
    </message>
    <message>
        <source>这个设备不是串口，不支持这项操作</source>
        <translation>The device is not a serial port and cannot do this</translation>
    </message>
    <message>
        <source>读写出错</source>
        <translation>Reading or writing failed</translation>
    </message>
    <message>
        <source>对方拒绝了连接</source>
        <translation>The far side refused the connection</translation>
    </message>
    <message>
        <source>等待回应超时</source>
        <translation>No answer in time</translation>
    </message>
    <message>
        <source>网络不通，到不了对方</source>
        <translation>The network cannot reach the far side</translation>
    </message>
    <message>
        <source>找不到这个主机名</source>
        <translation>The host name is not known</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>TMDIChild</name>
    <message>
        <source>文档内容</source>
        <translation>Document text</translation>
    </message>
</context>
<context>
    <name>Texts</name>
    <message>
        <source>参数设定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>发送设定</source>
        <translation>Sending</translation>
    </message>
    <message>
        <source>接收设定</source>
        <translation>Receiving</translation>
    </message>
    <message>
        <source>系统设定</source>
        <translation>System</translation>
    </message>
    <message>
        <source>端口设定</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>定时发送</source>
        <translation>Timed send</translation>
    </message>
    <message>
        <source>发送时间间隔：    </source>
        <translation>Interval:</translation>
    </message>
    <message>
        <source>毫秒    </source>
        <translation>ms</translation>
    </message>
    <message>
        <source>每两个字符时间间隔：       </source>
        <translation>Delay between bytes:</translation>
    </message>
    <message>
        <source>微秒   </source>
        <translation>µs</translation>
    </message>
    <message>
        <source>发送字符串：</source>
        <translation>Data to send:</translation>
    </message>
    <message>
        <source>人工设定        </source>
        <translation>Text</translation>
    </message>
    <message>
        <source>自动设定</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>从</source>
        <translation>From</translation>
    </message>
    <message>
        <source>到</source>
        <translation>to</translation>
    </message>
    <message>
        <source>每行字数：      </source>
        <translation>Bytes per line:</translation>
    </message>
    <message>
        <source>每段字数：      </source>
        <translation>Bytes per block:</translation>
    </message>
    <message>
        <source>检测数据的正确性（此时设备有规律发送数据）     </source>
        <translation>Check the data (the device sends a pattern)</translation>
    </message>
    <message>
        <source>每段数据从：     </source>
        <translation>Each block from:</translation>
    </message>
    <message>
        <source>自动清除    </source>
        <translation>Auto clear</translation>
    </message>
    <message>
        <source>行之后自动清除         </source>
        <translation>lines, then clear</translation>
    </message>
    <message>
        <source>工作端口     </source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率     </source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>数据位    </source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source>奇偶校验     </source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>停止位    </source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>标志</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>空格</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>你的选择有误!</source>
        <translation>Invalid choice!</translation>
    </message>
    <message>
        <source>自动发送数据时，发送数据范围应从小到大！</source>
        <translation>To send a range, its start must not be greater than its end!</translation>
    </message>
    <message>
        <source>验证接收数据时，数据范围应从小到大！</source>
        <translation>To check received data, the start of the range must not be greater than its end!</translation>
    </message>
    <message>
        <source>  串口初始化失败,
请检查串口参数是否设定正确</source>
        <translation>The serial port could not be opened.
Please check the port settings.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>&apos;%1&apos; is not a valid integer value</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>重新列出本机的串口设备</source>
        <translation>List this computer&apos;s serial devices again</translation>
    </message>
    <message>
        <source>序列号 %1</source>
        <translation>serial number %1</translation>
    </message>
    <message>
        <source>“%1”无法用代码页936（GBK）保存，未输入。请只用汉字、ASCII等GBK字符。</source>
        <translation>“%1” cannot be stored in code page 936 (GBK) and was not entered. Use only characters GBK has (Chinese, ASCII and so on).</translation>
    </message>
    <message>
        <source>无法把所选设备写入端口链接 %1：
%2</source>
        <translation>Cannot bind the chosen device to the port link %1:
%2</translation>
    </message>
    <message>
        <source>这个设备名不能用作端口：
%1</source>
        <translation>This device name cannot be used as a port:
%1</translation>
    </message>
    <message>
        <source>设置无法保存到 %1：
%2
原来的设置文件保持不变。</source>
        <translation>The settings could not be saved to %1:
%2
The settings file was left as it was.</translation>
    </message>
    <message>
        <source>发送时间间隔（毫秒）</source>
        <translation>Send interval (milliseconds)</translation>
    </message>
    <message>
        <source>两个字符间的延时（微秒）</source>
        <translation>Delay between two characters (microseconds)</translation>
    </message>
    <message>
        <source>发送字符串</source>
        <translation>Send text</translation>
    </message>
    <message>
        <source>自动发送从</source>
        <translation>Automatic send from</translation>
    </message>
    <message>
        <source>自动发送到</source>
        <translation>Automatic send to</translation>
    </message>
    <message>
        <source>每行字数</source>
        <translation>Bytes per line</translation>
    </message>
    <message>
        <source>每段字数</source>
        <translation>Bytes per block</translation>
    </message>
    <message>
        <source>每段数据从</source>
        <translation>Block data from</translation>
    </message>
    <message>
        <source>每段数据到</source>
        <translation>Block data to</translation>
    </message>
    <message>
        <source>自动清除的行数</source>
        <translation>Lines before clearing</translation>
    </message>
    <message>
        <source>工作端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>数据位</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source>奇偶校验</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>Stop bits</translation>
    </message>
</context>
<context>
    <name>TransferTexts</name>
    <message>
        <source>发送文件</source>
        <translation>Send file</translation>
    </message>
    <message>
        <source>接收文件</source>
        <translation>Receive file</translation>
    </message>
    <message>
        <source>文件：</source>
        <translation>File:</translation>
    </message>
    <message>
        <source>保存到文件夹：</source>
        <translation>Save into folder:</translation>
    </message>
    <message>
        <source>文件名 (XMODEM)：</source>
        <translation>File name (XMODEM):</translation>
    </message>
    <message>
        <source>浏览...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>协议：</source>
        <translation>Protocol:</translation>
    </message>
    <message>
        <source>原始数据</source>
        <translation>Raw</translation>
    </message>
    <message>
        <source>字节间隔 (微秒)：</source>
        <translation>Gap between bytes (µs):</translation>
    </message>
    <message>
        <source>分块大小 (字节, 0 = 逐字节)：</source>
        <translation>Chunk size (bytes, 0 = byte by byte):</translation>
    </message>
    <message>
        <source>块间延时 (毫秒)：</source>
        <translation>Delay between chunks (ms):</translation>
    </message>
    <message>
        <source>每行之后等待提示符</source>
        <translation>Wait for a prompt after each line</translation>
    </message>
    <message>
        <source>提示符 (空 = 任意回应)：</source>
        <translation>Prompt (empty = any answer):</translation>
    </message>
    <message>
        <source>等待超时 (毫秒)：</source>
        <translation>Wait at most (ms):</translation>
    </message>
    <message>
        <source>小文件逐字节显示在窗口中</source>
        <translation>Show small files byte by byte in the window</translation>
    </message>
    <message>
        <source>选择要发送的文件</source>
        <translation>Choose the file to send</translation>
    </message>
    <message>
        <source>选择保存接收文件的文件夹</source>
        <translation>Choose the folder for received files</translation>
    </message>
    <message>
        <source>请选择一个存在的文件。</source>
        <translation>Please choose an existing file.</translation>
    </message>
    <message>
        <source>请选择一个存在的文件夹。</source>
        <translation>Please choose an existing folder.</translation>
    </message>
    <message>
        <source>正在发送 %1</source>
        <translation>Sending %1</translation>
    </message>
    <message>
        <source>正在接收 %1</source>
        <translation>Receiving %1</translation>
    </message>
    <message>
        <source>等待对方...</source>
        <translation>Waiting for the far side...</translation>
    </message>
    <message>
        <source>%1 / %2 字节, %3 字节/秒, 剩余 %4 秒, 重发 %5 次</source>
        <translation>%1 / %2 bytes, %3 bytes/s, %4 s left, %5 blocks repeated</translation>
    </message>
    <message>
        <source>%1 字节, %2 字节/秒, 重发 %3 次</source>
        <translation>%1 bytes, %2 bytes/s, %3 blocks repeated</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>文件传输完成: %1</source>
        <translation>File transfer complete: %1</translation>
    </message>
    <message>
        <source>文件传输失败: %1</source>
        <translation>File transfer failed: %1</translation>
    </message>
    <message>
        <source>文件 %1 已存在。是否替换？选择“否”则以新名称 %2 保存。</source>
        <translation>The file %1 exists. Replace it? No keeps it and saves the new one as %2.</translation>
    </message>
    <message>
        <source>文件传输</source>
        <translation>File transfer</translation>
    </message>
    <message>
        <source>串口未打开，无法传输文件。</source>
        <translation>The port is not open: no file can be transferred.</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>%1 (%2 字节, %3 秒, %4 字节/秒)</source>
        <translation>%1 (%2 bytes, %3 s, %4 bytes/s)</translation>
    </message>
    <message>
        <source>%1 不完整: 声明 %2 字节, 只收到 %3 字节</source>
        <translation>%1 is incomplete: %2 bytes declared, only %3 received</translation>
    </message>
    <message>
        <source>已收到: %1</source>
        <translation>received: %1</translation>
    </message>
</context>
</TS>
