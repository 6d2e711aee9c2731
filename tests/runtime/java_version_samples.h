#pragma once

// Real `java -version` reports, as runtimes printed them (copied verbatim,
// including the damage of where they were found), for the runtime search tests.

struct JavaVersionSample {
    const char* name;
    const char* report;
};

inline const JavaVersionSample javaVersionSamples[] = {
    {"sun-1.3.1-rc1-solaris-interpreted-in-test-comment",
     R"sample( *     java version "1.3.1-rc1"
 *     Java(TM) 2 Runtime Environment, Standard Edition (build 1.3.1-rc1-b19)
 *     Java HotSpot(TM) Client VM (build 1.3.1-rc1-b19, interpreted mode)
)sample"},
    {"sun-1.5.0_02-first-line-only",
     R"sample(java version "1.5.0_02"
)sample"},
    {"sun-1.6.0_20-client-sharing",
     R"sample(java version "1.6.0_20"
Java(TM) SE Runtime Environment (build 1.6.0_20-b02)
Java HotSpot(TM) Client VM (build 16.3-b01, mixed mode, sharing)
)sample"},
    {"apple-1.6.0_22-macos",
     R"sample(java version "1.6.0_22"
Java(TM) SE Runtime Environment (build 1.6.0_22-b04-307-10M3261)
Java HotSpot(TM) 64-Bit Server VM (build 17.1-b03-307, mixed mode)
)sample"},
    {"oracle-1.8.0_321-64bit-windows",
     R"sample(java version "1.8.0_321"
Java(TM) SE Runtime Environment (build 1.8.0_321-b07)
Java HotSpot(TM) 64-Bit Server VM (build 25.321-b07, mixed mode)
)sample"},
    {"oracle-10-ga-stderr-not-piped",
     R"sample(java version "10" 2018-03-20
Java(TM) SE Runtime Environment 18.3 (build 10+46)
Java HotSpot(TM) 64-Bit Server VM 18.3 (build 10+46, mixed mode)
     812
)sample"},
    {"openjdk-13-ea+32-fixture",
     R"sample(openjdk version "13-ea" 2019-09-17
OpenJDK Runtime Environment (build 13-ea+32)
OpenJDK 64-Bit Server VM (build 13-ea+32, mixed mode, sharing)
)sample"},
    {"oracle-17-ga",
     R"sample(java version "17" 2021-09-14 LTS
Java(TM) SE Runtime Environment (build 17+35-LTS-2724)
Java HotSpot(TM) 64-Bit Server VM (build 17+35-LTS-2724, mixed mode, sharing)
)sample"},
    {"openjdk-21-ea+14-with-javac-line",
     R"sample(openjdk version "21-ea" 2023-09-19
OpenJDK Runtime Environment (build 21-ea+14-1161)
OpenJDK 64-Bit Server VM (build 21-ea+14-1161, mixed mode, sharing)
javac 21-ea
)sample"},
    {"openjdk-21-ea+25-test-fixture",
     R"sample(openjdk version "21-ea" 2023-09-19
OpenJDK Runtime Environment (build 21-ea+25-2212)
OpenJDK 64-Bit Server VM (build 21-ea+25-2212, mixed mode, sharing)
)sample"},
    {"ubuntu-icedtea-2.6.6-1.7.0_101",
     R"sample(java version "1.7.0_101"
OpenJDK Runtime Environment (IcedTea 2.6.6) (7u101-2.6.6-0ubuntu0.14.04.1)
OpenJDK 64-Bit Server VM (build 24.95-b01, mixed mode)
)sample"},
    {"redhat-11.0.24",
     R"sample(openjdk version "11.0.24" 2024-07-16
OpenJDK Runtime Environment (Red_Hat-11.0.24.0.8-2) (build 11.0.24+8)
OpenJDK 64-Bit Server VM (Red_Hat-11.0.24.0.8-2) (build 11.0.24+8, mixed mode, sharing)
)sample"},
    {"ubuntu-openjdk-17.0.12",
     R"sample(openjdk version "17.0.12" 2024-07-16
OpenJDK Runtime Environment (build 17.0.12+7-Ubuntu-1ubuntu222.04)
OpenJDK 64-Bit Server VM (build 17.0.12+7-Ubuntu-1ubuntu222.04, mixed mode, sharing)
)sample"},
    {"adoptopenjdk-11.0.9.1-windows",
     R"sample(openjdk version "11.0.9.1" 2020-11-04
OpenJDK Runtime Environment AdoptOpenJDK (build 11.0.9.1+1)
OpenJDK 64-Bit Server VM AdoptOpenJDK (build 11.0.9.1+1, mixed mode)
)sample"},
    {"adoptium-8u312-beta-escaped",
     R"sample("openjdk version \"1.8.0_312-beta\"\nOpenJDK Runtime Environment (Eclipse Adoptium)(build 1.8.0_312-beta-202109271816-b06)\nOpenJDK 64-Bit Server VM (Eclipse Adoptium)(build 25.312-b06, mixed mode)\n"
)sample"},
    {"ibm-j9-1.8.0-sr3fp11",
     R"sample(java version "1.8.0"
Java(TM) SE Runtime Environment (build pxa6480sr3fp11-20160817_02(SR3 FP11))
IBM J9 VM (build 2.8, JRE 1.8.0 Linux amd64-64 Compressed References 20160816_315341 (JIT enabled, AOT enabled)
J9VM - R28_20160816_1459_B315341
JIT  - tr.r14.java.green_20160726_121883
GC   - R28_20160816_1459_B315341_CMPRSS
J9CL - 20160816_315341)
JCL - 20160816_01 based on Oracle jdk8u101-b13
)sample"},
    {"openj9-9-internal-jit-disabled",
     R"sample(openjdk version "9-internal"
OpenJDK Runtime Environment (build 9-internal+0-adhoc.jenkins.openjdk)
Eclipse OpenJ9 VM (build 2.9, JRE 9 Linux amd64-64 Compressed References 20170915_6 (JIT disabled, AOT disabled)
J9VM - cea1ed7
OMR  - 617de12
OpenJDK  - 83f5cd0 based on )
)sample"},
    {"zing-20.03-jdk8-fixture",
     R"sample(java version "1.8.0-zing_20.03.0.0"
Zing Runtime Environment for Java Applications (build 1.8.0-zing_20.03.0.0-b1)
Zing 64-Bit Tiered VM (build 1.8.0-zing_20.03.0.0-b1-product-linux-X86_64, mixed mode)
)sample"},
    {"zulu-11.0.20-lts",
     R"sample(openjdk version "11.0.20" 2023-07-18 LTS
OpenJDK Runtime Environment Zulu11.66+15-CA (build 11.0.20+8-LTS)
OpenJDK 64-Bit Server VM Zulu11.66+15-CA (build 11.0.20+8-LTS, mixed mode)
)sample"},
    {"corretto-11.0.10-scraped-joined-with-line-numbers",
     R"sample(`1 2 3` `openjdk version "11.0.10" 2021-01-19 LTS OpenJDK Runtime Environment Corretto-11.0.10.9.1 (build 11.0.10+9-LTS) OpenJDK 64-Bit Server VM Corretto-11.0.10.9.1 (build 11.0.10+9-LTS, mixed mode)shell`
)sample"},
    {"graalvm-1.0.0-rc9-jdk8-inline",
     R"sample(openjdk version "1.8.0_192"
OpenJDK Runtime Environment (build 1.8.0_192-20181024121959.buildslave.jdk8u-src-tar--b12)
GraalVM 1.0.0-rc9 (build 25.192-b12-jvmci-0.49, mixed mode)
)sample"},
    {"ojdkbuild-1.8.0_201-fixture",
     R"sample(openjdk version "1.8.0_201-ojdkbuild"
OpenJDK Runtime Environment (build 1.8.0_201-ojdkbuild-09)
OpenJDK 64-Bit Server VM (build 25.201-b09, mixed mode)
)sample"},
    {"sapmachine-13.0.2-macos",
     R"sample(openjdk version "13.0.2" 2020-01-16
OpenJDK Runtime Environment (build 13.0.2+8-sapmachine)
OpenJDK 64-Bit Server VM (build 13.0.2+8-sapmachine, mixed mode, sharing)
)sample"},
    {"dragonwell-21.0.4.0.4-extended",
     R"sample(openjdk version "21.0.4.0.4" 2024-07-16
OpenJDK Runtime Environment (Alibaba Dragonwell Extended Edition)-21.0.4.0.4+7-GA (build 21.0.4.0.4)
OpenJDK 64-Bit Server VM (Alibaba Dragonwell Extended Edition)-21.0.4.0.4+7-GA (build 21.0.4.0.4, mixed mode, sharing)
)sample"},
    {"gij-4.1.0-ubuntu-dapper",
     R"sample(
java version "1.4.2"
gij (GNU libgcj) version 4.1.0 (Ubuntu 4.1.0-1ubuntu8)
)sample"},
    {"openjdk-17.0.6-picked-up-java-options",
     R"sample(Picked up _JAVA_OPTIONS: -Djava.util.prefs.userRoot=/home/stefan/.config/java
openjdk version "17.0.6" 2023-01-17
OpenJDK Runtime Environment (build 17.0.6+10)
OpenJDK 64-Bit Server VM (build 17.0.6+10, mixed mode)
)sample"},
    {"error-could-not-reserve-heap-login-node",
     R"sample(Error occurred during initialization of VM
Could not reserve enough space for object heap
Could not create the Java virtual machine.
)sample"},
    {"error-missing-server-jvm-windows",
     R"sample(Error: missing `server' JVM at `F:\jdk\jdk1.8.0_60\bin\server\jvm.dll'.
Please install or use the JRE or JDK that contains these missing components.
)sample"},
};
